// Test driver of the end-to-end tier: loads the settings from the real
// configuration file, as the service does, and downloads a flavour's package.
//   package_download_driver.exe FLAVOUR [WOW64]   FLAVOUR: 1 ActiveX, 2 plug-in;
//                                                 WOW64 1 asks for the 64-bit package
// Prints "written" when NimbraPlayerInstaller.exe was written into the working
// directory, else "failed" (exit code 1).
#include <cstdio>
#include <cwchar>

#include "settings/settings.h"
#include "update/package_download.h"

int wmain(int argc, wchar_t* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: package_download_driver FLAVOUR [WOW64]\n");
    return 2;
  }
  settings::LoadSettings();
  settings::RunningUnderWow64 = argc > 2 && std::wcscmp(argv[2], L"1") == 0;
  const auto flavour = static_cast<update::PlayerFlavour>(std::wcstoul(argv[1], nullptr, 10));
  const bool written = update::DownloadInstallerPackage(flavour);
  std::printf(written ? "written\n" : "failed\n");
  return written ? 0 : 1;
}
