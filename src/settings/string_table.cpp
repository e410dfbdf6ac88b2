#include "settings/string_table.h"

#include <cstring>

namespace settings {

StringTable::StringTable() : first_(&endMarker_) {}

StringTable::~StringTable() {
  // Entries in list order; the end marker and the bucket array go with the object.
  Entry* entry = first_;
  while (entry != &endMarker_) {
    Entry* next = entry->next;
    delete entry;
    entry = next;
  }
}

std::uint32_t StringTable::BucketOf(const NarrowString& key) {
  // Unsigned arithmetic gives the 32-bit sum of the sign-extended bytes
  // without overflow, however long the key.
  std::uint32_t sum = 0;
  for (const char byte : key.str()) {
    sum += static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(byte)));
  }
  return sum % kBucketCount;
}

StringTable::Entry* StringTable::FindMutable(const NarrowString& key) const {
  const std::uint32_t bucket = BucketOf(key);
  for (Entry* entry = buckets_[bucket]; entry != nullptr && entry->bucket == bucket;
       entry = entry->next) {
    if (entry->key == key) {
      return entry;
    }
  }
  return nullptr;
}

const StringTable::Entry* StringTable::Find(const NarrowString& key) const { return FindMutable(key); }

const NarrowString& StringTable::Get(const NarrowString& key) const {
  const Entry* entry = Find(key);
  return entry != nullptr ? entry->value : endMarker_.value;
}

void StringTable::Set(const NarrowString& key, const NarrowString& value) {
  if (Entry* entry = FindMutable(key)) {
    entry->value = value;
    return;
  }
  Insert(key, value);
}

void StringTable::LinkBefore(Entry* entry, Entry* successor) {
  entry->next = successor;
  entry->previous = successor->previous;
  if (successor->previous != nullptr) {
    successor->previous->next = entry;
  } else {
    first_ = entry;
  }
  successor->previous = entry;
}

StringTable::Entry* StringTable::LastOfBucket(std::uint32_t bucket) const {
  Entry* last = buckets_[bucket];
  while (last->next->bucket == bucket) {
    last = last->next;
  }
  return last;
}

void StringTable::Insert(const NarrowString& key, const NarrowString& value) {
  const std::uint32_t bucket = BucketOf(key);
  auto* entry = new Entry{key, value, bucket, nullptr, nullptr};

  // The newest key of a bucket comes first.
  if (buckets_[bucket] != nullptr) {
    LinkBefore(entry, buckets_[bucket]);
    buckets_[bucket] = entry;
    return;
  }
  buckets_[bucket] = entry;
  // After the run of the nearest lower bucket...
  for (std::uint32_t lower = bucket; lower-- > 0;) {
    if (buckets_[lower] != nullptr) {
      LinkBefore(entry, LastOfBucket(lower)->next);
      return;
    }
  }
  // ...else before the run of the nearest higher bucket...
  for (std::uint32_t higher = bucket + 1; higher < kBucketCount; ++higher) {
    if (buckets_[higher] != nullptr) {
      LinkBefore(entry, buckets_[higher]);
      return;
    }
  }
  // ...else the table was empty.
  LinkBefore(entry, &endMarker_);
}

}  // namespace settings
