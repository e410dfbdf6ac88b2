#pragma once

#include <cstddef>
#include <string>

namespace settings {

// An owned, NUL-terminated byte string holding UTF-8 text. Copying duplicates
// the bytes; one made from nothing (or from a null pointer) is the empty
// string, never a null.
class NarrowString {
 public:
  NarrowString() = default;
  NarrowString(const char* text) : bytes_(text != nullptr ? text : "") {}  // NOLINT: implicit by design
  NarrowString(const char* data, std::size_t size) : bytes_(data, size) {}
  explicit NarrowString(std::string bytes) : bytes_(std::move(bytes)) {}

  const char* c_str() const { return bytes_.c_str(); }
  std::size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  const std::string& str() const { return bytes_; }

  friend bool operator==(const NarrowString& a, const NarrowString& b) { return a.bytes_ == b.bytes_; }
  friend bool operator!=(const NarrowString& a, const NarrowString& b) { return !(a == b); }

 private:
  std::string bytes_;
};

}  // namespace settings
