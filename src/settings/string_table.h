#pragma once

#include <cstdint>

#include "settings/narrow_string.h"

namespace settings {

// The in-memory form of the configuration file: a hash table of exactly 16
// buckets that never grows, whose entries all lie on one doubly linked list
// ending in an end marker (empty key and value, bucket 16). The entries of a
// bucket are contiguous and the bucket runs follow in ascending order, so
// walking the list gives the order the file is written in.
class StringTable {
 public:
  static constexpr std::uint32_t kBucketCount = 16;

  struct Entry {
    NarrowString key;
    NarrowString value;
    std::uint32_t bucket = kBucketCount;
    Entry* next = nullptr;
    Entry* previous = nullptr;
  };

  StringTable();
  ~StringTable();
  StringTable(const StringTable&) = delete;
  StringTable& operator=(const StringTable&) = delete;

  // The sum of the key's bytes taken as signed 8-bit values, modulo 16.
  static std::uint32_t BucketOf(const NarrowString& key);

  // The entry with exactly this key, or null.
  const Entry* Find(const NarrowString& key) const;

  // The stored value, or the end marker's empty value when the key is absent.
  const NarrowString& Get(const NarrowString& key) const;

  // Replaces the value of a present key (the entry keeps its place) or
  // inserts a new entry first in its bucket.
  void Set(const NarrowString& key, const NarrowString& value);

  // The list from its first entry; the walk ends at the end marker.
  const Entry* First() const { return first_; }
  const Entry* EndMarker() const { return &endMarker_; }

 private:
  Entry* FindMutable(const NarrowString& key) const;
  void Insert(const NarrowString& key, const NarrowString& value);
  void LinkBefore(Entry* entry, Entry* successor);
  Entry* LastOfBucket(std::uint32_t bucket) const;

  Entry endMarker_;
  Entry* first_;
  Entry* buckets_[kBucketCount] = {};
};

}  // namespace settings
