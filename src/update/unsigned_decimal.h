#pragma once

#include <cstdint>

namespace update {

// Reads an unsigned 32-bit decimal number the way the C library's unsigned
// conversion does on Windows: leading white space, an optional sign (a minus
// negates modulo 2^32, so "-1" is 4294967295), digits up to the first other
// character; no digits give 0 and a number above 4294967295 gives 4294967295.
// The text ends at its first zero or at end, whichever comes first.
std::uint32_t ParseUnsignedDecimal(const char* begin, const char* end);
std::uint32_t ParseUnsignedDecimal(const wchar_t* begin, const wchar_t* end);

}  // namespace update
