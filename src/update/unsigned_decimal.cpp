#include "update/unsigned_decimal.h"

namespace update {
namespace {

template <typename Char>
bool IsWhiteSpace(Char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

template <typename Char>
std::uint32_t Parse(const Char* p, const Char* end) {
  while (p != end && *p != 0 && IsWhiteSpace(*p)) {
    ++p;
  }
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
  std::uint64_t value = 0;
  bool overflow = false;
  for (; p != end && *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    if (value > 0xFFFFFFFFull) {
      overflow = true;
      value = 0xFFFFFFFFull;  // keep reading the digits, the result is fixed
    }
  }
  if (overflow) {
    return 0xFFFFFFFFu;
  }
  const auto magnitude = static_cast<std::uint32_t>(value);
  return negative ? static_cast<std::uint32_t>(0u - magnitude) : magnitude;
}

}  // namespace

std::uint32_t ParseUnsignedDecimal(const char* begin, const char* end) { return Parse(begin, end); }
std::uint32_t ParseUnsignedDecimal(const wchar_t* begin, const wchar_t* end) { return Parse(begin, end); }

}  // namespace update
