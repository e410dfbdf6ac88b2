#include "update/installer_launch.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "logging/log.h"
#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "test_support.h"

namespace {

using Messages = std::vector<std::wstring>;

std::wstring ThisFolder() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.rfind(L'\\'));
}

std::wstring StandIn() { return ThisFolder() + L"\\installer_stand_in.exe"; }

// What the stand-in wrote: its own path and its command line; empty when it
// did not run within ten seconds.
std::vector<std::wstring> WaitForStandIn(const std::wstring& folder, int milliseconds = 10000) {
  const std::wstring report = folder + L"\\installer-ran.txt";
  for (int waited = 0; waited < milliseconds && !testing_support::PathExists(report); waited += 50) {
    ::Sleep(50);
  }
  std::string bytes = testing_support::ReadAllBytes(report);
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) {
    bytes = bytes.substr(3);
  }
  std::vector<std::wstring> lines;
  std::wstring line;
  for (char c : bytes) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
  }
  return lines;
}

class InstallerLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    logging::VerboseLogging = true;
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override {
    logging::VerboseLogging = false;
    ::DeleteFileW(planted_.c_str());
  }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  const std::wstring planted_ = ThisFolder() + L"\\NimbraPlayerInstaller.exe";
};

TEST_F(InstallerLaunch, StartsTheInstallerInTheCurrentDirectoryDetached) {
  ASSERT_TRUE(::CopyFileW(StandIn().c_str(), scratch_.Child(L"NimbraPlayerInstaller.exe").c_str(), FALSE));
  std::wstring commandLine = update::kInstallerCommandLine;
  EXPECT_TRUE(update::LaunchInstaller(commandLine));
  const std::vector<std::wstring> ran = WaitForStandIn(scratch_.path());
  ASSERT_EQ(ran.size(), 3u);
  EXPECT_EQ(ran[0], scratch_.Child(L"NimbraPlayerInstaller.exe"));
  EXPECT_EQ(ran[1], L"NimbraPlayerInstaller.exe -install -iv 9");
  EXPECT_EQ(ran[2], scratch_.path());  // the service's own working directory
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[info] 1602"});
}

TEST_F(InstallerLaunch, PlantedInstallerBesideTheServiceNeverRuns) {
  // The search order for a bare name takes the service's own folder first.
  ASSERT_TRUE(::CopyFileW(StandIn().c_str(), planted_.c_str(), FALSE));
  std::wstring commandLine = update::kInstallerCommandLine;
  EXPECT_FALSE(update::LaunchInstaller(commandLine));  // nothing in the current directory
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[error] 1218 2"});
  EXPECT_TRUE(WaitForStandIn(scratch_.path(), 1000).empty());

  ASSERT_TRUE(::CopyFileW(StandIn().c_str(), scratch_.Child(L"NimbraPlayerInstaller.exe").c_str(), FALSE));
  EXPECT_TRUE(update::LaunchInstaller(commandLine));
  const std::vector<std::wstring> ran = WaitForStandIn(scratch_.path());
  ASSERT_EQ(ran.size(), 3u);
  EXPECT_EQ(ran[0], scratch_.Child(L"NimbraPlayerInstaller.exe"));  // the verified one
}

struct Recorded {
  std::wstring application, commandLine;
  BOOL inherit = TRUE;
  DWORD flags = 0;
  LPVOID environment = reinterpret_cast<LPVOID>(1);
  std::wstring directory = L"unset";
  DWORD startupSize = 0;
  bool securityGiven = true;
};
Recorded g_recorded;

BOOL WINAPI RecordCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES process,
                                LPSECURITY_ATTRIBUTES thread, BOOL inherit, DWORD flags, LPVOID environment,
                                LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION) {
  g_recorded.application = application != nullptr ? application : L"(none)";
  g_recorded.commandLine = commandLine;
  g_recorded.securityGiven = process != nullptr || thread != nullptr;
  g_recorded.inherit = inherit;
  g_recorded.flags = flags;
  g_recorded.environment = environment;
  g_recorded.directory = directory != nullptr ? directory : L"(inherited)";
  g_recorded.startupSize = startup->cb;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

TEST_F(InstallerLaunch, ProcessIsCreatedByFullPathWithTheFixedSettings) {
  platform::ScopedOverride record(platform::Kernel32().CreateProcessW, &RecordCreateProcess);
  std::wstring commandLine = update::kInstallerCommandLine;
  EXPECT_FALSE(update::LaunchInstaller(commandLine));
  EXPECT_EQ(g_recorded.application, scratch_.Child(L"NimbraPlayerInstaller.exe"));
  EXPECT_EQ(g_recorded.commandLine, L"NimbraPlayerInstaller.exe -install -iv 9");
  EXPECT_FALSE(g_recorded.securityGiven);
  EXPECT_EQ(g_recorded.inherit, FALSE);
  EXPECT_EQ(g_recorded.flags, static_cast<DWORD>(CREATE_DEFAULT_ERROR_MODE | DETACHED_PROCESS));
  EXPECT_EQ(g_recorded.environment, nullptr);
  EXPECT_EQ(g_recorded.directory, L"(inherited)");
  EXPECT_EQ(g_recorded.startupSize, sizeof(STARTUPINFOW));
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[error] 1218 5"});
}

}  // namespace
