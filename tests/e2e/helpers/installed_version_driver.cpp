// Test driver of the end-to-end tier: reads a flavour's installed version from
// the registry and judges whether the given manifest versions are updates.
//   installed_version_driver.exe FLAVOUR [VERSION...]     FLAVOUR: 1 ActiveX, 2 plug-in
// Prints "installed a.b.c.d", then "a.b.c.d update" or "a.b.c.d no-update" per VERSION.
#include <cstdio>
#include <cwchar>

#include "update/installed_version.h"
#include "update/version_text.h"

namespace {

void Print(const update::VersionNumber& v) {
  std::printf("%u.%u.%u.%u", static_cast<unsigned>(v.major), static_cast<unsigned>(v.minor),
              static_cast<unsigned>(v.buildMajor), static_cast<unsigned>(v.buildMinor));
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: installed_version_driver FLAVOUR [VERSION...]\n");
    return 2;
  }
  const auto flavour = static_cast<update::PlayerFlavour>(std::wcstoul(argv[1], nullptr, 10));
  std::printf("installed ");
  Print(update::ReadInstalledVersion(flavour));
  std::printf("\n");
  for (int i = 2; i < argc; ++i) {
    const update::ComponentVersion available{
        update::ParseVersionText(argv[i], argv[i] + std::wcslen(argv[i])), flavour};
    Print(available.version);
    std::printf(update::IsUpdateNeeded(available) ? " update\n" : " no-update\n");
  }
  return 0;
}
