#include "service/resource_strings.h"

#include <windows.h>

#include "platform/kernel32_api.h"
#include "platform/user32_api.h"

namespace service {

std::wstring LoadResourceString(unsigned id) {
  // Buffer size 0: LoadStringW hands back a read-only pointer into the
  // image's resources and the length, without copying.
  const wchar_t* text = nullptr;
  const int length = platform::User32().LoadStringW(platform::Kernel32().GetModuleHandleW(nullptr), id,
                                                    reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) {
    return L"MISSING LOCALIZATION";
  }
  return std::wstring(text, static_cast<std::size_t>(length));
}

}  // namespace service
