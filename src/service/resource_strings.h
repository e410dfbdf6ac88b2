#pragma once

#include <string>

namespace service {

inline constexpr unsigned kTaskDescriptionId = 110;
inline constexpr unsigned kServiceDescriptionId = 120;

// The text of a string resource in the language the platform picks for the
// process, or "MISSING LOCALIZATION" when it cannot be loaded.
std::wstring LoadResourceString(unsigned id);

}  // namespace service
