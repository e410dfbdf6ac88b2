// The folder names the file manager hands out: the path separator, the
// player's three per-user folders and the system-wide configuration file.
// Each is a process-wide string, empty at start and filled on first use.
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "filesystem/windows_file_manager.h"
#include "platform/shell32_api.h"
#include "settings/utf8_text.h"

namespace ZAZE {
namespace {

using settings::NarrowString;

constexpr wchar_t kAssetCacheSuffix[] = L"\\Orvane\\Nimbra Player\\AssetCache";
constexpr wchar_t kPlayerDataSuffix[] = L"\\Stelvan\\Nimbra Player";
constexpr wchar_t kPrivateDataSuffix[] = L"\\Orvane\\Nimbra Player\\QTSPrivateData2";
constexpr wchar_t kConfigFileSuffix[] = L"\\Kesvar\\Nimbra\\qvs.cfg";

NarrowString g_pathSeparator;
NarrowString g_assetCacheFolder;
NarrowString g_playerDataFolder;
NarrowString g_privateDataFolder;
NarrowString g_configFilePath;

enum class FolderLookup {
  // The shell's answer is not looked at: an unknown folder leaves the suffix
  // alone (the configuration file's long-standing behaviour).
  Unchecked,
  // An unknown folder is a failed lookup: nothing is cached and the next call
  // asks again. The bare suffix would name a folder at the root of the
  // current drive, which holds no user's data.
  Required,
};

// The shell folder followed by the suffix, as UTF-8, cached in the first
// successful call. The path is composed without the 260-character limit:
// cutting it would name another folder, while an over-long path simply fails
// when it is used.
NarrowString& FolderPath(NarrowString& cache, int csidl, const wchar_t* suffix, FolderLookup lookup) {
  if (!cache.empty()) {
    return cache;
  }
  wchar_t folder[MAX_PATH] = {};
  const HRESULT found = platform::Shell32().SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder);
  if (lookup == FolderLookup::Required && (FAILED(found) || folder[0] == L'\0')) {
    return cache;
  }
  folder[MAX_PATH - 1] = L'\0';
  const std::wstring path = std::wstring(folder) + suffix;
  NarrowString converted;
  if (settings::WideToUtf8(path.c_str(), converted) && cache.empty()) {
    cache = converted;
  }
  return cache;
}

}  // namespace

NarrowString& WindowsFileManager::GetPathSeparator() {
  g_pathSeparator = NarrowString("\\");
  return g_pathSeparator;
}

NarrowString& WindowsFileManager::GetAssetCacheFolder() {
  return FolderPath(g_assetCacheFolder, CSIDL_APPDATA, kAssetCacheSuffix, FolderLookup::Required);
}

NarrowString& WindowsFileManager::GetPlayerDataFolder() {
  return FolderPath(g_playerDataFolder, CSIDL_APPDATA, kPlayerDataSuffix, FolderLookup::Required);
}

NarrowString& WindowsFileManager::GetPrivateDataFolder() {
  return FolderPath(g_privateDataFolder, CSIDL_APPDATA, kPrivateDataSuffix, FolderLookup::Required);
}

const NarrowString& WindowsFileManager::GetConfigFilePath() {
  return FolderPath(g_configFilePath, CSIDL_SYSTEM, kConfigFileSuffix, FolderLookup::Unchecked);
}

}  // namespace ZAZE
