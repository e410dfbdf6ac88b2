#pragma once

#include <windows.h>

namespace platform {

// The advapi32 functions the service calls: the registry (service control
// arrives with the service).
struct Advapi32Api {
  decltype(&::RegOpenKeyExW) RegOpenKeyExW = ::RegOpenKeyExW;
  decltype(&::RegCreateKeyExW) RegCreateKeyExW = ::RegCreateKeyExW;
  decltype(&::RegQueryValueExW) RegQueryValueExW = ::RegQueryValueExW;
  decltype(&::RegSetValueExW) RegSetValueExW = ::RegSetValueExW;
  decltype(&::RegDeleteValueW) RegDeleteValueW = ::RegDeleteValueW;
  decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;
};

Advapi32Api& Advapi32();

}  // namespace platform
