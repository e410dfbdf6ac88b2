#include "entry/entry_point.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "logging/log.h"
#include "platform/advapi32_api.h"
#include "platform/kernel32_api.h"
#include "settings/service_context.h"
#include "platform/scoped_override.h"
#include "test_support.h"

namespace {

using testing_support::CapturedConsole;
using testing_support::LoggedMessages;
using testing_support::LogFilePath;
using testing_support::ReadAllBytes;
using testing_support::ScratchDirectory;
using testing_support::Utf16LeBytes;

int RunWith(std::vector<std::wstring> arguments) {
  std::vector<wchar_t*> vector;
  for (std::wstring& argument : arguments) {
    vector.push_back(argument.data());
  }
  vector.push_back(nullptr);
  return entry::RunMain(static_cast<int>(arguments.size()), vector.data());
}

class EntryPoint : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetSettings();
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override { testing_support::ResetSettings(); }

  ScratchDirectory scratch_;
  CapturedConsole console_;
};

TEST_F(EntryPoint, SwitchesThatAreNotExactlyOneOfTheEightDoNothing) {
  for (const wchar_t* argument :
       {L"-Install", L"-INSTALL", L"/install", L"install", L"-install ", L" -install", L"",
        L"-isSAUEnabledX", L"-isSAU", L"--install", L"-help"}) {
    SCOPED_TRACE(testing::Message() << "argument of " << std::wstring(argument).size() << " units");
    EXPECT_EQ(RunWith({L"C:\\Program Files\\Nimbra\\NimbraPlayerUpdateService.exe", argument}), 0);
  }
  EXPECT_FALSE(testing_support::PathExists(LogFilePath()));
  EXPECT_EQ(console_.Bytes(), "");
}

TEST_F(EntryPoint, VerboseRunLogsPathStartCodeAndSwitchInThatOrder) {
  logging::VerboseLogging = true;
  EXPECT_EQ(RunWith({L"C:\\Nimbra\\NimbraPlayerUpdateService.exe", L"-unknown", L"more"}), 0);
  const std::vector<std::wstring> expected = {
      L"[info] C:\\Nimbra\\NimbraPlayerUpdateService.exe", L"[info] 1617", L"[info] -unknown"};
  EXPECT_EQ(LoggedMessages(), expected);
}

BOOL WINAPI NotStartedByTheScm(const SERVICE_TABLE_ENTRYW*) {
  ::SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);  // 1063, at once (Wine waits first)
  return FALSE;
}

TEST_F(EntryPoint, NoArgumentRunNotStartedByTheScmAsksTheScmToStartTheService) {
  logging::VerboseLogging = true;
  platform::ScopedOverride dispatcher(platform::Advapi32().StartServiceCtrlDispatcherW, &NotStartedByTheScm);
  EXPECT_EQ(RunWith({L"NimbraPlayerUpdateService.exe"}), 0);
  const std::vector<std::wstring> messages = LoggedMessages();
  // The path (made full), the start, the settings of the service context, the
  // dispatcher refusing, and the start request for a service that is not
  // registered here.
  const std::vector<std::wstring> expected = {
      L"[info] " + scratch_.Child(L"NimbraPlayerUpdateService.exe"), L"[info] 1617", L"[info] 1614",
      L"[info] 1616", L"[info] 1618", L"[info] 1619 1063", L"[error] 1222 1060"};
  EXPECT_EQ(messages, expected);
  EXPECT_EQ(settings::CurrentServiceContext, nullptr);
}

DWORD WINAPI OutOfMemoryInFullPath(LPCWSTR, DWORD, LPWSTR, LPWSTR*) {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  throw std::bad_alloc();
}

TEST_F(EntryPoint, OutOfMemoryIsLoggedAs1239AndTheRunEndsWithZero) {
  platform::ScopedOverride fail(platform::Kernel32().GetFullPathNameW, &OutOfMemoryInFullPath);
  EXPECT_EQ(RunWith({L"C:\\Nimbra\\NimbraPlayerUpdateService.exe", L"-isSAUEnabled"}), 0);
  // The error idiom: the code and whatever GetLastError holds once the
  // exception is caught (unwinding may have changed it).
  const std::vector<std::wstring> messages = LoggedMessages();
  ASSERT_EQ(messages.size(), 1u);
  const std::wstring prefix = L"[error] 1239 ";
  ASSERT_EQ(messages[0].substr(0, prefix.size()), prefix);
  const std::wstring number = messages[0].substr(prefix.size());
  EXPECT_FALSE(number.empty());
  EXPECT_EQ(number.find_first_not_of(L"-0123456789"), std::wstring::npos) << "not a number";
}

}  // namespace
