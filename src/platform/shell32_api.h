#pragma once

#include <windows.h>
#include <shlobj.h>

namespace platform {

// The shell32 functions the service calls.
struct Shell32Api {
  decltype(&::SHGetFolderPathW) SHGetFolderPathW = ::SHGetFolderPathW;
};

Shell32Api& Shell32();

}  // namespace platform
