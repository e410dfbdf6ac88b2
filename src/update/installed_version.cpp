#include "update/installed_version.h"

#include <windows.h>

#include "platform/advapi32_api.h"
#include "platform/handles.h"
#include "update/version_text.h"

namespace update {
namespace {

constexpr DWORD kVersionBufferBytes = 1024;  // 512 UTF-16 code units

const wchar_t* KeyOf(PlayerFlavour flavour) {
  switch (flavour) {
    case PlayerFlavour::ActiveX:
      return L"Software\\Stelvan\\NimbraPlayerActiveX";
    case PlayerFlavour::Plugin:
      return L"Software\\Stelvan\\NimbraPlayerPlugin";
  }
  return nullptr;
}

}  // namespace

VersionNumber ReadInstalledVersion(PlayerFlavour flavour) {
  const wchar_t* keyPath = KeyOf(flavour);
  if (keyPath == nullptr) {
    return VersionNumber{};
  }
  auto& registry = platform::Advapi32();
  HKEY opened = nullptr;
  if (registry.RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &opened) != ERROR_SUCCESS) {
    return VersionNumber{};
  }
  const platform::UniqueRegistryKey key(opened);

  // The stored type is not looked at: whatever bytes "Version" holds are read
  // as UTF-16 code units (a number stored as REG_DWORD therefore reads as a
  // text without digits, 0.0.0.0).
  wchar_t text[kVersionBufferBytes / sizeof(wchar_t)] = {};
  DWORD size = kVersionBufferBytes;
  if (registry.RegQueryValueExW(key.get(), L"Version", nullptr, nullptr, reinterpret_cast<BYTE*>(text),
                                &size) != ERROR_SUCCESS) {
    return VersionNumber{};
  }
  DWORD debugger = 0;
  DWORD debuggerSize = sizeof(debugger);
  if (registry.RegQueryValueExW(key.get(), L"isScriptDebugger", nullptr, nullptr,
                                reinterpret_cast<BYTE*>(&debugger), &debuggerSize) == ERROR_SUCCESS &&
      debugger != 0) {
    return VersionNumber{};
  }

  // The text ends at its first zero code unit, or with the data read.
  const wchar_t* end = text;
  const wchar_t* const dataEnd = text + size / sizeof(wchar_t);
  while (end != dataEnd && *end != L'\0') {
    ++end;
  }
  return ParseVersionText(text, end);
}

bool IsUpdateNeeded(const ComponentVersion& available) {
  const VersionNumber installed = ReadInstalledVersion(available.flavour);
  if (installed.IsNone()) {
    return false;
  }
  return CompareVersions(available.version, installed) == 1;
}

}  // namespace update
