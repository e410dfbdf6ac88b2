#include <windows.h>

#include <vector>

#include "platform/crt_api.h"
#include "platform/handles.h"
#include "platform/kernel32_api.h"
#include "settings/byte_file.h"

namespace settings {
namespace {

// The UTF-8 path as UTF-16 for the wide file functions; empty when it is not
// valid text.
std::wstring WidePath(const NarrowString& path) {
  auto& kernel = platform::Kernel32();
  const int units = kernel.MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1,
                                               nullptr, 0);
  if (units <= 0) {
    return {};
  }
  std::vector<wchar_t> buffer(static_cast<std::size_t>(units), L'\0');
  if (kernel.MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.c_str(), -1, buffer.data(),
                                 units) <= 0) {
    return {};
  }
  return std::wstring(buffer.data());
}

platform::UniqueCrtFile Open(const NarrowString& path, const wchar_t* mode) {
  const std::wstring wide = WidePath(path);
  if (wide.empty()) {
    return platform::UniqueCrtFile();
  }
  return platform::UniqueCrtFile(platform::Crt()._wfopen(wide.c_str(), mode));
}

}  // namespace

bool ReadWholeByteFile(const NarrowString& path, std::string& bytes) {
  platform::UniqueCrtFile file = Open(path, L"rb");
  if (!file) {
    return false;
  }
  auto& crt = platform::Crt();
  char chunk[8192];
  std::size_t count = 0;
  while ((count = crt.fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
    bytes.append(chunk, count);
  }
  return crt.ferror(file.get()) == 0;
}

bool WriteWholeByteFile(const NarrowString& path, const std::string& bytes) {
  platform::UniqueCrtFile file = Open(path, L"wb");
  if (!file) {
    return false;
  }
  platform::Crt().fwrite(bytes.data(), 1, bytes.size(), file.get());
  return true;
}

}  // namespace settings
