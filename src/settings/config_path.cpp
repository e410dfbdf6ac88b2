#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/kernel32_api.h"
#include "platform/shell32_api.h"
#include "settings/settings.h"

namespace settings {
namespace {

constexpr wchar_t kConfigFileSuffix[] = L"\\Kesvar\\Nimbra\\qvs.cfg";

NarrowString g_configFilePath;

}  // namespace

const NarrowString& GetConfigFilePath() {
  if (!g_configFilePath.empty()) {
    return g_configFilePath;
  }
  // An unknown system folder leaves the suffix alone, which Windows resolves
  // against the root of the current drive.
  wchar_t folder[MAX_PATH] = {};
  platform::Shell32().SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT, folder);
  // Composed without a length limit: cutting it to 260 units would name a
  // different file; an over-long path simply fails to open.
  const std::wstring path = std::wstring(folder) + kConfigFileSuffix;

  auto& kernel = platform::Kernel32();
  const int size = kernel.WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return g_configFilePath;
  }
  std::vector<char> bytes(static_cast<std::size_t>(size), '\0');
  if (kernel.WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, bytes.data(), size, nullptr, nullptr) > 0 &&
      g_configFilePath.empty()) {
    g_configFilePath = NarrowString(bytes.data());
  }
  return g_configFilePath;
}

}  // namespace settings
