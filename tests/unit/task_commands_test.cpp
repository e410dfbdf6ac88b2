#include "tasks/task_commands.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "platform/crt_api.h"
#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "tasks/task_scheduler2.h"

namespace {

using platform::ScopedOverride;

OSVERSIONINFOA g_version{};
BOOL WINAPI ReportVersion(LPOSVERSIONINFOA info) {
  EXPECT_EQ(info->dwOSVersionInfoSize, 148u);
  const DWORD size = info->dwOSVersionInfoSize;
  *info = g_version;
  info->dwOSVersionInfoSize = size;
  return TRUE;
}

TEST(SchedulerVersion, NtSixAndLaterUseTaskScheduler2) {
  ScopedOverride version(platform::Kernel32().GetVersionExA, &ReportVersion);
  struct Case {
    DWORD platform, major, minor;
    tasks::SchedulerVersion expected;
  };
  const Case cases[] = {
      {VER_PLATFORM_WIN32_NT, 5, 1, 1},  // XP
      {VER_PLATFORM_WIN32_NT, 5, 2, 1},  // Server 2003
      {VER_PLATFORM_WIN32_NT, 6, 0, 2},  // Vista
      {VER_PLATFORM_WIN32_NT, 6, 1, 2},
      {VER_PLATFORM_WIN32_NT, 10, 0, 2},
      {VER_PLATFORM_WIN32_WINDOWS, 6, 0, 1},  // not the NT platform
  };
  for (const Case& c : cases) {
    g_version = OSVERSIONINFOA{};
    g_version.dwPlatformId = c.platform;
    g_version.dwMajorVersion = c.major;
    g_version.dwMinorVersion = c.minor;
    EXPECT_EQ(tasks::SelectSchedulerVersion(), c.expected) << c.major << "." << c.minor;
    EXPECT_EQ(tasks::TaskRegistrar(L"C:\\svc.exe").version, c.expected);
  }
}

unsigned int g_draws[2] = {};
int g_draw = 0;
bool g_failDraws = false;
errno_t __cdecl ScriptedRandom(unsigned int* value) {
  if (g_failDraws) {
    return EINVAL;
  }
  *value = g_draws[g_draw++ % 2];
  return 0;
}

TEST(StartBoundary, MinuteFromTwoDrawsAndZeroWhenTheyFail) {
  ScopedOverride random(platform::Crt().rand_s, &ScriptedRandom);
  std::set<std::wstring> minutes;
  for (unsigned tens = 0; tens < 12; ++tens) {
    for (unsigned units = 0; units < 20; ++units) {
      g_draws[0] = tens + 6000;  // modulo 6
      g_draws[1] = units + 4000000000u;  // modulo 10
      g_draw = 0;
      const std::wstring boundary = tasks::MakeStartBoundary();
      ASSERT_EQ(boundary.size(), 20u);
      EXPECT_EQ(boundary.substr(0, 14), L"2000-01-01T00:");
      EXPECT_EQ(boundary.substr(16), L":00Z");
      EXPECT_EQ(boundary[14], static_cast<wchar_t>(L'0' + (tens + 6000) % 6));
      EXPECT_EQ(boundary[15], static_cast<wchar_t>(L'0' + (units + 4000000000u) % 10));
      minutes.insert(boundary.substr(14, 2));
    }
  }
  EXPECT_EQ(minutes.size(), 60u);  // every minute from 00 to 59
  g_failDraws = true;
  EXPECT_EQ(tasks::MakeStartBoundary(), L"2000-01-01T00:00:00Z");
  g_failDraws = false;
}

}  // namespace
