#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "settings/narrow_string.h"
#include "settings/string_table.h"

namespace settings {

// The configuration file qvs.cfg: key=value lines read into a StringTable at
// construction, looked up, changed and written back whole. A file that cannot
// be read is an empty table; lines that cannot be used are skipped.
class ConfigFile {
 public:
  explicit ConfigFile(const NarrowString& path);

  // The value of the key, or the empty string. Valid until the table changes.
  const NarrowString& Get(const NarrowString& key) const { return table_.Get(key); }
  void Set(const NarrowString& key, const NarrowString& value) { table_.Set(key, value); }

  // Rewrites the file from the table. False for an empty path or a file that
  // cannot be opened for writing.
  bool Save() const;

  const StringTable& table() const { return table_; }

 private:
  NarrowString path_;
  StringTable table_;
};

// Reads the bytes of a configuration file into the table: fewer than 4 bytes
// or a UTF-16 byte-order mark read as nothing, a UTF-8 byte-order mark is
// skipped, lines end at LF, CR LF or CR, a NUL ends a line's text, the first
// "=" splits key from value, both are trimmed, and the last value of a key wins.
void ParseConfigBytes(const std::string& bytes, StringTable& table);

// The bytes Save writes: one "key=value" CR LF line per entry in list order.
std::string FormatConfigFile(const StringTable& table);

// The rule by which every configuration value is read as a boolean: "true",
// "t", "yes", "y" in any case, or a decimal number at the start that is not zero.
bool ParseBool(const NarrowString& text);

}  // namespace settings
