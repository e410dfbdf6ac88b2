// libFuzzer target over the configuration reader and ParseBool. After every
// input it checks the store's invariants and that what Save writes reads back
// to the same table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "settings/config_file.h"
#include "settings/string_table.h"

namespace {

using settings::StringTable;

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

bool IsBlank(unsigned char byte) { return byte <= 0x20 || byte == 0x7F; }

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries CheckInvariants(const StringTable& table) {
  Entries entries;
  std::set<std::string> keys;
  std::uint32_t previousBucket = 0;
  const StringTable::Entry* previous = nullptr;
  for (const auto* e = table.First(); e != table.EndMarker(); e = e->next) {
    Require(e->previous == previous);
    Require(e->bucket < StringTable::kBucketCount);
    Require(e->bucket == StringTable::BucketOf(e->key));
    Require(e->bucket >= previousBucket);  // runs in ascending bucket order, contiguous
    Require(keys.insert(e->key.str()).second);  // no key twice
    for (const std::string* text : {&e->key.str(), &e->value.str()}) {
      Require(!text->empty());
      Require(!IsBlank(static_cast<unsigned char>(text->front())));
      Require(!IsBlank(static_cast<unsigned char>(text->back())));
      Require(text->find_first_of(std::string("\0\r\n", 3)) == std::string::npos);
    }
    Require(e->key.str().find('=') == std::string::npos);
    Require(table.Find(e->key) == e);
    Require(&table.Get(e->key) == &e->value);
    settings::ParseBool(e->value);
    previousBucket = e->bucket;
    previous = e;
    entries.emplace_back(e->key.str(), e->value.str());
  }
  Require(table.EndMarker()->previous == previous);
  Require(table.EndMarker()->bucket == StringTable::kBucketCount);
  return entries;
}

// A written file starts with the first key, so a key that begins with the
// bytes of a byte-order mark changes meaning when the file is read again.
bool StartsLikeAByteOrderMark(const std::string& bytes) {
  for (const char* mark : {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"}) {
    if (bytes.rfind(mark, 0) == 0) {
      return true;
    }
  }
  return false;
}

Entries ReadBack(const std::string& bytes) {
  StringTable table;
  settings::ParseConfigBytes(bytes, table);
  return CheckInvariants(table);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  settings::ParseBool(settings::NarrowString(input.c_str()));

  StringTable table;
  settings::ParseConfigBytes(input, table);
  const Entries entries = CheckInvariants(table);

  const std::string written = settings::FormatConfigFile(table);
  if (StartsLikeAByteOrderMark(written)) {
    return 0;
  }
  // Reading reverses the order inside each bucket (the newest key goes
  // first), so the same table comes back as a set at once and in list order
  // after a second round trip.
  const Entries once = ReadBack(written);
  Require(std::map<std::string, std::string>(once.begin(), once.end()) ==
          std::map<std::string, std::string>(entries.begin(), entries.end()));
  StringTable second;
  settings::ParseConfigBytes(written, second);
  const std::string rewritten = settings::FormatConfigFile(second);
  if (!StartsLikeAByteOrderMark(rewritten)) {
    Require(ReadBack(rewritten) == entries);
  }
  return 0;
}
