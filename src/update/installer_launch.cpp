#include "update/installer_launch.h"

#include <windows.h>

#include <vector>

#include "logging/log.h"
#include "platform/handles.h"
#include "platform/kernel32_api.h"
#include "update/package_download.h"

namespace update {
namespace {

// The current directory followed by the installer's file name.
std::wstring InstallerPath() {
  auto& kernel = platform::Kernel32();
  std::vector<wchar_t> buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = kernel.GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) {
      return std::wstring();
    }
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      if (path.back() != L'\\') {
        path += L'\\';
      }
      return path + kInstallerFileName;
    }
    buffer.assign(length, L'\0');
  }
}

}  // namespace

bool LaunchInstaller(std::wstring& commandLine) {
  const std::wstring application = InstallerPath();
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  // No current directory: the path could not be read, so no program is named
  // and the call fails rather than run some other file.
  const BOOL created = platform::Kernel32().CreateProcessW(
      application.empty() ? L"" : application.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
      CREATE_DEFAULT_ERROR_MODE | DETACHED_PROCESS, nullptr, nullptr, &startup, &process);
  if (created) {
    logging::LogCode(logging::MessageCode::InstallerStarted);
  } else {
    logging::LogLastError(logging::MessageCode::InstallerLaunchFailed);
  }
  // Nothing waits for the installer.
  platform::UniqueKernelHandle processHandle(process.hProcess);
  platform::UniqueKernelHandle threadHandle(process.hThread);
  return created != FALSE;
}

}  // namespace update
