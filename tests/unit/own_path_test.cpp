#include "entry/own_path.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "test_support.h"

namespace {

std::wstring ThisModulePath() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

TEST(OwnPath, RelativeNameResolvesAgainstTheWorkingDirectory) {
  testing_support::ScratchDirectory scratch;
  EXPECT_EQ(entry::GetOwnFullPath(L"NimbraPlayerUpdateService.exe"),
            scratch.Child(L"NimbraPlayerUpdateService.exe"));
  EXPECT_EQ(entry::GetOwnFullPath(L"C:\\a\\..\\b\\svc.exe"), L"C:\\b\\svc.exe");
}

// A path of 300 units: longer than the 260-unit buffer.
const std::wstring kLongPath = L"C:\\" + std::wstring(290, L'd') + L"\\svc.exe";

DWORD WINAPI LongFullPath(LPCWSTR, DWORD size, LPWSTR buffer, LPWSTR*) {
  const auto needed = static_cast<DWORD>(kLongPath.size() + 1);
  if (size < needed) {
    return needed;
  }
  kLongPath.copy(buffer, kLongPath.size());
  buffer[kLongPath.size()] = L'\0';
  return needed - 1;
}

TEST(OwnPath, PathLongerThanTheBufferIsReadWhole) {
  platform::ScopedOverride longPath(platform::Kernel32().GetFullPathNameW, &LongFullPath);
  EXPECT_EQ(entry::GetOwnFullPath(L"svc.exe"), kLongPath);
}

DWORD WINAPI FailingFullPath(LPCWSTR, DWORD, LPWSTR, LPWSTR*) {
  ::SetLastError(ERROR_INVALID_NAME);
  return 0;
}

TEST(OwnPath, FailingOrEmptyNameFallsBackToTheModuleFile) {
  const std::wstring module = ThisModulePath();
  ASSERT_FALSE(module.empty());
  EXPECT_EQ(entry::GetOwnFullPath(L""), module);
  EXPECT_EQ(entry::GetOwnFullPath(nullptr), module);
  platform::ScopedOverride fail(platform::Kernel32().GetFullPathNameW, &FailingFullPath);
  EXPECT_EQ(entry::GetOwnFullPath(L"svc.exe"), module);
}

}  // namespace
