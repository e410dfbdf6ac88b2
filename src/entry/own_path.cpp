#include "entry/own_path.h"

#include <windows.h>

#include <vector>

#include "platform/kernel32_api.h"

namespace entry {
namespace {

constexpr DWORD kPathBufferUnits = MAX_PATH;  // 260 units, terminator included

// GetFullPathNameW into a buffer of the given size; grows the buffer when the
// path is longer, so a deep install folder still yields the whole path.
// Empty when the call fails.
std::wstring FullPathName(const wchar_t* name) {
  std::vector<wchar_t> buffer(kPathBufferUnits, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = platform::Kernel32().GetFullPathNameW(
        name, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      return std::wstring(buffer.data(), length);
    }
    // Too small: the result is the size needed, terminator included.
    buffer.assign(length, L'\0');
  }
  return {};
}

// The image's own file name: the fallback when the command line does not
// name a path (an empty element 0, or a name GetFullPathNameW rejects).
std::wstring ModuleFileName() {
  std::vector<wchar_t> buffer(kPathBufferUnits, L'\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    const DWORD length = platform::Kernel32().GetModuleFileNameW(
        nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      return {};
    }
    if (length < buffer.size()) {
      return std::wstring(buffer.data(), length);
    }
    buffer.assign(buffer.size() * 2, L'\0');  // truncated: try a larger buffer
  }
  return {};
}

}  // namespace

std::wstring GetOwnFullPath(const wchar_t* programName) {
  if (programName != nullptr && programName[0] != L'\0') {
    std::wstring path = FullPathName(programName);
    if (!path.empty()) {
      return path;
    }
  }
  return ModuleFileName();
}

}  // namespace entry
