#pragma once

#include <cstdint>
#include <string>

namespace logging {

// The decimal text of a number as every log message writes it: no leading
// zeros, no grouping, a minus sign for negative values. System error numbers
// and HRESULTs are passed as their 32 bits, so 0x80070002 prints as -2147024894.
std::wstring CodeText(std::int32_t value);

}  // namespace logging
