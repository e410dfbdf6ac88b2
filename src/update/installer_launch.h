#pragma once

#include <string>

namespace update {

// The command line the installer is started with.
inline constexpr const wchar_t kInstallerCommandLine[] = L"NimbraPlayerInstaller.exe -install -iv 9";

// Starts "NimbraPlayerInstaller.exe" from the current directory, detached,
// with the given command line (which the platform may write into), and
// returns at once. The program is named by its full path, so no other file
// of that name on the search path (for example one planted beside the
// service's executable) can run instead of the one just verified.
bool LaunchInstaller(std::wstring& commandLine);

}  // namespace update
