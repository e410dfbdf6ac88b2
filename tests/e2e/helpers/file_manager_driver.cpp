// Test driver of the end-to-end tier: runs one file manager operation on real
// folders.
//   file_manager_driver.exe delete PATH                 prints true or false
//   file_manager_driver.exe purge PATH MIN_AGE MAX_AGE  (seconds) true or false
//   file_manager_driver.exe size PATH                   the size in bytes
//   file_manager_driver.exe mkdir PARENT NAME           true or false
//   file_manager_driver.exe list PATH                   one name per line, or "null"
//   file_manager_driver.exe folders                     separator and the three per-user folders
// Paths and names are passed on to the file manager as UTF-8, and names are
// printed as UTF-8.
#include <cstdio>
#include <cwchar>
#include <string>

#include "filesystem/windows_file_manager.h"
#include "settings/utf8_text.h"

namespace {

using settings::NarrowString;

NarrowString Utf8(const wchar_t* text) {
  NarrowString converted;
  settings::WideToUtf8(text, converted);
  return converted;
}

std::uint64_t Seconds(const wchar_t* text) { return std::wcstoull(text, nullptr, 10); }

int PrintBool(bool value) {
  std::printf(value ? "true\n" : "false\n");
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: file_manager_driver delete PATH | purge PATH MIN_AGE MAX_AGE | size PATH |\n"
               "       mkdir PARENT NAME | list PATH | folders\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc < 2) {
    return Usage();
  }
  const std::wstring command = argv[1];
  ZAZE::WindowsFileManager manager;
  if (command == L"delete" && argc == 3) {
    return PrintBool(manager.DeletePath(Utf8(argv[2])));
  }
  if (command == L"purge" && argc == 5) {
    return PrintBool(manager.PurgeDirectory(Utf8(argv[2]), Seconds(argv[3]), Seconds(argv[4])));
  }
  if (command == L"size" && argc == 3) {
    std::printf("%llu\n", static_cast<unsigned long long>(manager.GetPathSize(Utf8(argv[2]))));
    return 0;
  }
  if (command == L"mkdir" && argc == 4) {
    return PrintBool(manager.CreateSubdirectory(Utf8(argv[2]), Utf8(argv[3])));
  }
  if (command == L"list" && argc == 3) {
    const auto names = manager.ListDirectory(Utf8(argv[2]));
    if (names == nullptr) {
      std::printf("null\n");
      return 0;
    }
    for (std::uint32_t i = 0; i < names->Count(); ++i) {
      std::printf("%s\n", names->At(i).c_str());
    }
    return 0;
  }
  if (command == L"folders" && argc == 2) {
    std::printf("separator %s\n", manager.GetPathSeparator().c_str());
    std::printf("asset-cache %s\n", manager.GetAssetCacheFolder().c_str());
    std::printf("player-data %s\n", manager.GetPlayerDataFolder().c_str());
    std::printf("private-data %s\n", manager.GetPrivateDataFolder().c_str());
    return 0;
  }
  return Usage();
}
