#include "settings/config_file.h"

#include <climits>
#include <cstdint>

#include "settings/byte_file.h"

namespace settings {
namespace {

// Blank bytes around keys and values: the space and the control characters.
// Bytes 0x80 to 0xFF are kept, so UTF-8 text is never cut inside a character.
bool IsBlank(unsigned char byte) { return byte <= 0x20 || byte == 0x7F; }

std::string Trim(const char* begin, const char* end) {
  while (begin != end && IsBlank(static_cast<unsigned char>(*begin))) {
    ++begin;
  }
  while (end != begin && IsBlank(static_cast<unsigned char>(end[-1]))) {
    --end;
  }
  return std::string(begin, end);
}

void ParseLine(const char* begin, const char* end, StringTable& table) {
  // A NUL ends the line's text.
  for (const char* p = begin; p != end; ++p) {
    if (*p == '\0') {
      end = p;
      break;
    }
  }
  const char* equals = begin;
  while (equals != end && *equals != '=') {
    ++equals;
  }
  if (equals == end) {
    return;
  }
  std::string key = Trim(begin, equals);
  std::string value = Trim(equals + 1, end);
  if (key.empty() || value.empty()) {
    return;
  }
  table.Set(NarrowString(std::move(key)), NarrowString(std::move(value)));
}

bool StartsWith(const std::string& bytes, const char* prefix, std::size_t size) {
  return bytes.size() >= size && bytes.compare(0, size, prefix, size) == 0;
}

}  // namespace

void ParseConfigBytes(const std::string& bytes, StringTable& table) {
  if (bytes.size() < 4) {
    return;
  }
  std::size_t start = 0;
  if (StartsWith(bytes, "\xEF\xBB\xBF", 3)) {
    start = 3;
  } else if (StartsWith(bytes, "\xFF\xFE", 2) || StartsWith(bytes, "\xFE\xFF", 2)) {
    return;  // UTF-16 is not read
  }
  const char* data = bytes.data();
  std::size_t lineStart = start;
  std::size_t i = start;
  while (i < bytes.size()) {
    const char byte = data[i];
    if (byte == '\n' || byte == '\r') {
      ParseLine(data + lineStart, data + i, table);
      ++i;
      if (byte == '\r' && i < bytes.size() && data[i] == '\n') {
        ++i;  // CR LF is one line end
      }
      lineStart = i;
    } else {
      ++i;
    }
  }
  ParseLine(data + lineStart, data + bytes.size(), table);  // the last line, even if empty
}

std::string FormatConfigFile(const StringTable& table) {
  std::string bytes;
  for (const auto* entry = table.First(); entry != table.EndMarker(); entry = entry->next) {
    bytes += entry->key.str();
    bytes += '=';
    bytes += entry->value.str();
    bytes += "\r\n";
  }
  return bytes;
}

ConfigFile::ConfigFile(const NarrowString& path) : path_(path) {
  std::string bytes;
  if (ReadWholeByteFile(path_, bytes)) {
    ParseConfigBytes(bytes, table_);
  }
}

bool ConfigFile::Save() const {
  if (path_.empty()) {
    return false;
  }
  return WriteWholeByteFile(path_, FormatConfigFile(table_));
}

bool ParseBool(const NarrowString& text) {
  std::string lower = text.str();
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  if (lower == "true" || lower == "t" || lower == "yes" || lower == "y") {
    return true;
  }
  // The decimal number at the start: white space, a sign, digits. Any digit
  // other than 0 makes it non-zero, and a number beyond the 32-bit range
  // saturates at a limit, which is non-zero as well.
  std::size_t i = 0;
  while (i < lower.size() && (lower[i] == ' ' || (lower[i] >= '\t' && lower[i] <= '\r'))) {
    ++i;
  }
  if (i < lower.size() && (lower[i] == '+' || lower[i] == '-')) {
    ++i;
  }
  for (; i < lower.size() && lower[i] >= '0' && lower[i] <= '9'; ++i) {
    if (lower[i] != '0') {
      return true;
    }
  }
  return false;
}

}  // namespace settings
