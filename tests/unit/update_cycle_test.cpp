#include "update/update_cycle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "fake_winhttp.h"
#include "logging/log.h"
#include "platform/advapi32_api.h"
#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

using platform::Kernel32;
using platform::ScopedOverride;
using Messages = std::vector<std::wstring>;

DWORD WINAPI TempOutOfMemory(DWORD, LPWSTR) { throw std::bad_alloc(); }
BOOL WINAPI LaunchOutOfMemory(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                              LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
  throw std::bad_alloc();
}
int g_registryOpens = 0;
LSTATUS WINAPI CountOpen(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
  ++g_registryOpens;
  return ::RegOpenKeyExW(root, path, options, access, key);
}

class UpdateCycle : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetSettings();
    logging::VerboseLogging = true;
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
    testing_support::CreateFolders(scratch_.Child(L"temp"));
  }
  void TearDown() override { testing_support::ResetSettings(); }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  testing_support::FakeWinHttp http_;
  testing_support::ScopedTempPath temp_{scratch_.Child(L"temp\\")};
};

TEST_F(UpdateCycle, DisabledWinsOverEnabledAndNothingIsTouched) {
  settings::AutoUpdateDisabled = true;
  settings::SilentAutoUpdateEnabled = true;
  g_registryOpens = 0;
  ScopedOverride count(platform::Advapi32().RegOpenKeyExW, &CountOpen);
  update::RunUpdateCycle();
  EXPECT_EQ(testing_support::LoggedMessages(), (Messages{L"[info] 1608", L"[info] 1612"}));
  EXPECT_EQ(g_registryOpens, 0);
  EXPECT_EQ(http_.opened, 0);
}

TEST_F(UpdateCycle, MemoryRunningOutWhileStartingTheInstallerIs1235) {
  http_.Serve(testing_support::TestPackage(L"development.p7"));
  ScopedOverride launch(Kernel32().CreateProcessW, &LaunchOutOfMemory);
  EXPECT_FALSE(update::InstallUpdate(update::ComponentVersion{{2, 0, 0, 0}, update::PlayerFlavour::ActiveX}));
  const Messages log = testing_support::LoggedMessages();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], L"[info] 1600");
  EXPECT_EQ(log[1].rfind(L"[error] 1235 ", 0), 0u) << log[1];
}

TEST_F(UpdateCycle, MemoryRunningOutInTheDownloadIs1236) {
  http_.Serve(testing_support::TestPackage(L"development.p7"));
  ScopedOverride outOfMemory(Kernel32().GetTempPathW, &TempOutOfMemory);
  EXPECT_FALSE(update::InstallUpdate(update::ComponentVersion{{2, 0, 0, 0}, update::PlayerFlavour::Plugin}));
  const Messages log = testing_support::LoggedMessages();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0], L"[info] 1601");
  EXPECT_EQ(log[1].rfind(L"[error] 1236 ", 0), 0u) << log[1];
  EXPECT_EQ(http_.closed.size(), 3u);  // the handles were closed on the way out
}

}  // namespace
