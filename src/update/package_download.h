#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "update/version_types.h"

namespace update {

inline constexpr const wchar_t kPackageUserAgent[] = L"Download Nimbra Player Installer/1.0";
inline constexpr const wchar_t kInstallerFileName[] = L"NimbraPlayerInstaller.exe";

// The package path on the package host for a flavour, by whether this 32-bit
// program runs on 64-bit Windows; null for an unknown flavour.
const wchar_t* PackagePath(PlayerFlavour flavour, bool runningUnderWow64);

// Downloads the flavour's signed package over HTTP (port 80) from the package
// host into a private folder below the temporary folder, reads it back,
// removes the copy, verifies it against the compiled-in authority and writes
// the installer it carries as "NimbraPlayerInstaller.exe" into the current
// directory. True when that file was written. Every failure is logged.
bool DownloadInstallerPackage(PlayerFlavour flavour);

// The whole file; false when it cannot be opened, is empty or cannot be read
// to its end.
bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& bytes);

}  // namespace update
