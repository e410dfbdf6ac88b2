#pragma once

#include <string>

#include "settings/narrow_string.h"

namespace settings {

// The file access of the configuration store, with the path as UTF-8. One
// implementation per platform: Windows converts the path to UTF-16 and uses
// the wide file functions.

// The whole file, or false when it cannot be opened or read.
bool ReadWholeByteFile(const NarrowString& path, std::string& bytes);

// Creates or truncates the file and writes the bytes; false when the file
// cannot be opened (a missing folder is not created). Errors while writing or
// closing are not reported.
bool WriteWholeByteFile(const NarrowString& path, const std::string& bytes);

}  // namespace settings
