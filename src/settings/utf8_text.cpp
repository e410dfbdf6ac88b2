#include "settings/utf8_text.h"

#include <windows.h>

#include <vector>

#include "platform/kernel32_api.h"

namespace settings {

bool Utf8ToWide(const NarrowString& text, std::wstring& target) {
  auto& kernel = platform::Kernel32();
  const int units = kernel.MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (units <= 0) {
    return false;
  }
  std::vector<wchar_t> buffer(static_cast<std::size_t>(units), L'\0');
  if (kernel.MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, buffer.data(), units) <= 0) {
    return false;
  }
  target.assign(buffer.data());
  return true;
}

bool WideToUtf8(const wchar_t* text, NarrowString& target) {
  auto& kernel = platform::Kernel32();
  const int size = kernel.WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return false;
  }
  std::vector<char> bytes(static_cast<std::size_t>(size), '\0');
  if (kernel.WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr) <= 0) {
    return false;
  }
  target = NarrowString(bytes.data());
  return true;
}

}  // namespace settings
