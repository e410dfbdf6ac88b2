#pragma once

#include <string>

#include "settings/narrow_string.h"

namespace settings {

// Conversions between the UTF-8 of NarrowString and the UTF-16 of the wide
// Windows functions, whole NUL-terminated strings, no flags (invalid
// sequences become U+FFFD). On failure the target is left as it was.
bool Utf8ToWide(const NarrowString& text, std::wstring& target);
bool WideToUtf8(const wchar_t* text, NarrowString& target);

}  // namespace settings
