#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

namespace platform {

// The shell32 functions the service calls.
struct Shell32Api {
  decltype(&::SHGetFolderPathW) SHGetFolderPathW = ::SHGetFolderPathW;
  decltype(&::SHFileOperationW) SHFileOperationW = ::SHFileOperationW;
};

Shell32Api& Shell32();

}  // namespace platform
