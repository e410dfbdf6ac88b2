#include "settings/settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "logging/log.h"
#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "platform/shell32_api.h"
#include "settings/service_context.h"
#include "test_support.h"

namespace {

using platform::ScopedOverride;
using testing_support::ConfigFile;
using testing_support::ConfigFolder;
using testing_support::LoggedMessages;
using testing_support::ReadAllBytes;
using testing_support::WriteAllBytes;
using Messages = std::vector<std::wstring>;

std::string Utf8(const std::wstring& text) { return testing_support::Utf8Bytes(text); }

// The real configuration file below the system folder, written and removed by
// each test; the log goes to a scratch working directory.
class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetSettings();
    testing_support::RemoveTree(ConfigFolder());
    testing_support::CreateFolders(ConfigFolder());
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override {
    testing_support::RemoveTree(testing_support::SystemFolder() + L"\\Kesvar");
    testing_support::ResetSettings();
  }

  static void WriteConfig(const std::string& bytes) { WriteAllBytes(ConfigFile(), bytes); }
  static std::string ConfigBytes() { return ReadAllBytes(ConfigFile()); }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
};

TEST_F(Settings, ConfigFileLiesBelowTheSystemFolder) {
  EXPECT_EQ(settings::GetConfigFilePath().str(), Utf8(ConfigFile()));
}

HRESULT WINAPI NoSystemFolder(HWND, int, HANDLE, DWORD, LPWSTR path) {
  path[0] = L'\0';
  return E_FAIL;
}

TEST_F(Settings, ConfigFilePathIsWorkedOutOnce) {
  const std::string first = settings::GetConfigFilePath().str();
  ScopedOverride noFolder(platform::Shell32().SHGetFolderPathW, &NoSystemFolder);
  EXPECT_EQ(settings::GetConfigFilePath().str(), first);
}

TEST_F(Settings, MissingFileLeavesEverythingAtItsStartValue) {
  testing_support::RemoveTree(ConfigFolder());
  EXPECT_TRUE(settings::LoadSettings());
  EXPECT_FALSE(logging::VerboseLogging);
  EXPECT_FALSE(settings::AutoUpdateDisabled);
  EXPECT_FALSE(settings::SilentAutoUpdateEnabled);
  EXPECT_EQ(settings::GetManifestHost(), L"updates.nimbraplayer.test");
  EXPECT_EQ(settings::GetPackageHost(), L"download.nimbraplayer.test");
  EXPECT_FALSE(settings::IsSilentAutoUpdateEnabled());
  EXPECT_EQ(LoggedMessages(), Messages{});
}

TEST_F(Settings, VerboseFileLogsFlagsAndConfiguredHosts) {
  WriteConfig("SilentAutoUpdateVerboseLogging=1\r\nSilentAutoUpdateServerDomain=upd\xC3\xA4te.example.test\r\n"
              "AutoUpdateDisable=yes\r\nSilentAutoUpdateEnable=2\r\n");
  EXPECT_TRUE(settings::LoadSettings());
  EXPECT_TRUE(logging::VerboseLogging);
  EXPECT_TRUE(settings::AutoUpdateDisabled);
  EXPECT_TRUE(settings::SilentAutoUpdateEnabled);
  EXPECT_EQ(settings::GetManifestHost(), L"upd\u00e4te.example.test");
  EXPECT_EQ(settings::GetPackageHost(), L"upd\u00e4te.example.test");
  const Messages expected = {L"[info] 1628 upd\u00e4te.example.test",
                             L"[info] 1629 upd\u00e4te.example.test", L"[info] 1613", L"[info] 1615"};
  EXPECT_EQ(LoggedMessages(), expected);
}

TEST_F(Settings, FlagsReadWithTheBooleanRule) {
  WriteConfig("SilentAutoUpdateVerboseLogging=true\r\nAutoUpdateDisable=0\r\nSilentAutoUpdateEnable=on\r\n");
  EXPECT_TRUE(settings::LoadSettings());
  EXPECT_FALSE(settings::AutoUpdateDisabled);
  EXPECT_FALSE(settings::SilentAutoUpdateEnabled);
  const Messages expected = {L"[info] 1614", L"[info] 1616"};
  EXPECT_EQ(LoggedMessages(), expected);
}

TEST_F(Settings, VerboseLoggingOnceOnStaysOn) {
  logging::VerboseLogging = true;
  WriteConfig("SilentAutoUpdateVerboseLogging=0\r\n");
  EXPECT_TRUE(settings::LoadSettings());
  EXPECT_TRUE(logging::VerboseLogging);
}

// Fails the host conversions (no flags) but not the file's path (which is
// converted strictly).
int WINAPI FailingHostConversion(UINT codePage, DWORD flags, LPCCH text, int size, LPWSTR wide,
                                 int units) {
  if (flags == 0) {
    ::SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
  }
  return ::MultiByteToWideChar(codePage, flags, text, size, wide, units);
}

TEST_F(Settings, DomainThatCannotBeConvertedKeepsThePreviousHosts) {
  WriteConfig("SilentAutoUpdateVerboseLogging=1\r\nSilentAutoUpdateServerDomain=mirror.example.test\r\n");
  ScopedOverride fail(platform::Kernel32().MultiByteToWideChar, &FailingHostConversion);
  EXPECT_TRUE(settings::LoadSettings());
  EXPECT_EQ(settings::GetPackageHost(), L"download.nimbraplayer.test");
  EXPECT_EQ(settings::GetManifestHost(), L"updates.nimbraplayer.test");
  const Messages expected = {L"[error] 1237 1113", L"[error] 1238 1113",
                             L"[info] 1628 download.nimbraplayer.test",
                             L"[info] 1629 updates.nimbraplayer.test", L"[info] 1614", L"[info] 1616"};
  EXPECT_EQ(LoggedMessages(), expected);
}

TEST_F(Settings, SilentModeOnAFileWithOnlyVerboseLogging) {
  WriteConfig("SilentAutoUpdateVerboseLogging=1\r\n");
  EXPECT_TRUE(settings::SetAutoUpdateMode(settings::AutoUpdateMode::Silent));
  EXPECT_EQ(ConfigBytes(),
            "AutoUpdateDisable=0\r\nSilentAutoUpdateEnable=1\r\nSilentAutoUpdateVerboseLogging=1\r\n");
}

TEST_F(Settings, EachModeWritesItsTwoValues) {
  struct Case {
    settings::AutoUpdateMode mode;
    const char* written;
  };
  const Case cases[] = {
      {settings::AutoUpdateMode::Silent, "AutoUpdateDisable=0\r\nSilentAutoUpdateEnable=1\r\n"},
      {settings::AutoUpdateMode::Notify, "AutoUpdateDisable=0\r\nSilentAutoUpdateEnable=0\r\n"},
      {settings::AutoUpdateMode::Disable, "AutoUpdateDisable=1\r\nSilentAutoUpdateEnable=0\r\n"},
  };
  for (const Case& c : cases) {
    WriteConfig(std::string("\xFF\xFEk\0=\0v\0\r\0\n\0", 12));  // UTF-16: replaced whole
    EXPECT_TRUE(settings::SetAutoUpdateMode(c.mode));
    EXPECT_EQ(ConfigBytes(), c.written);
  }
}

TEST_F(Settings, ModeOutsideTheThreeChangesNothing) {
  WriteConfig("k=v\n");
  EXPECT_FALSE(settings::SetAutoUpdateMode(static_cast<settings::AutoUpdateMode>(3)));
  EXPECT_EQ(ConfigBytes(), "k=v\n");
}

TEST_F(Settings, MissingFolderIsNotCreated) {
  testing_support::RemoveTree(ConfigFolder());
  EXPECT_FALSE(settings::SetAutoUpdateMode(settings::AutoUpdateMode::Notify));
  EXPECT_FALSE(testing_support::PathExists(ConfigFolder()));
  EXPECT_EQ(LoggedMessages(), Messages{});
}

TEST_F(Settings, SilentAutoUpdateQueryReadsTheFileAsItIsNow) {
  const std::pair<const char*, bool> cases[] = {
      {"1", true},      {"2", true},     {"-1", true},  {"10abc", true}, {"TRUE", true},
      {"Y", true},      {"on", false},   {"0x1", false}, {"yes please", false}, {"0", false},
  };
  for (const auto& [value, enabled] : cases) {
    WriteConfig(std::string("AutoUpdateDisable=1\r\nSilentAutoUpdateEnable=") + value + "\r\n");
    EXPECT_EQ(settings::IsSilentAutoUpdateEnabled(), enabled) << value;
  }
  EXPECT_FALSE(settings::SilentAutoUpdateEnabled);  // the process-wide flag is not involved
}

TEST_F(Settings, QueryLogs1607WhenEnabledAndVerbose) {
  logging::VerboseLogging = true;
  WriteConfig("SilentAutoUpdateEnable=1\r\n");
  EXPECT_TRUE(settings::IsSilentAutoUpdateEnabled());
  EXPECT_EQ(LoggedMessages(), Messages{L"[info] 1607"});
}

int WINAPI OutOfMemoryToWide(UINT, DWORD, LPCCH, int, LPWSTR, int) { throw std::bad_alloc(); }

TEST_F(Settings, OutOfMemoryIsCaughtByEachOperation) {
  logging::VerboseLogging = true;
  WriteConfig("SilentAutoUpdateEnable=1\r\n");
  settings::GetConfigFilePath();  // cached before memory runs out
  ScopedOverride outOfMemory(platform::Kernel32().MultiByteToWideChar, &OutOfMemoryToWide);
  EXPECT_FALSE(settings::SetAutoUpdateMode(settings::AutoUpdateMode::Disable));
  EXPECT_FALSE(settings::IsSilentAutoUpdateEnabled());
  EXPECT_FALSE(settings::LoadSettings());
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  settings::ServiceContext context(L"C:\\svc.exe");  // logs 1420, then 1233 with the error
  const Messages messages = LoggedMessages();
  ASSERT_EQ(messages.size(), 5u);
  EXPECT_EQ(messages[0], L"[warning] 1418");
  EXPECT_EQ(messages[1], L"[warning] 1419");
  EXPECT_EQ(messages[2], L"[warning] 1420");
  EXPECT_EQ(messages[3], L"[warning] 1420");
  EXPECT_EQ(messages[4].rfind(L"[error] 1233 ", 0), 0u) << messages[4];
  EXPECT_EQ(ConfigBytes(), "SilentAutoUpdateEnable=1\r\n");  // untouched
}

// IsWow64Process as found at run time.
BOOL WINAPI AnswersTrue(HANDLE, PBOOL answer) {
  *answer = TRUE;
  return TRUE;
}
BOOL WINAPI AnswersTwo(HANDLE, PBOOL answer) {
  *answer = 2;
  return FALSE;
}
FARPROC g_wow64Function = nullptr;
FARPROC WINAPI LookUp(HMODULE, LPCSTR name) {
  return std::string(name) == "IsWow64Process" ? g_wow64Function : nullptr;
}
HMODULE WINAPI NoModule(LPCWSTR) { return nullptr; }

TEST_F(Settings, Wow64IsDetectedAtRunTime) {
#ifdef _WIN64
  EXPECT_EQ(settings::DetectWow64(), FALSE);  // a 64-bit process is not under WOW64
#else
  EXPECT_EQ(settings::DetectWow64(), TRUE);   // Wine, like 64-bit Windows, runs us under WOW64
#endif
  ScopedOverride lookUp(platform::Kernel32().GetProcAddress, &LookUp);
  g_wow64Function = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&AnswersTrue));
  EXPECT_EQ(settings::DetectWow64(), TRUE);
  settings::ServiceContext context(L"C:\\svc.exe");
  EXPECT_TRUE(settings::RunningUnderWow64);
  EXPECT_EQ(context.modulePath, L"C:\\svc.exe");

  g_wow64Function = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&AnswersTwo));
  settings::ServiceContext notExactlyTrue(L"C:\\svc.exe");
  EXPECT_FALSE(settings::RunningUnderWow64);

  g_wow64Function = nullptr;
  EXPECT_EQ(settings::DetectWow64(), FALSE);
  ScopedOverride noModule(platform::Kernel32().GetModuleHandleW, &NoModule);
  g_wow64Function = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&AnswersTrue));
  EXPECT_EQ(settings::DetectWow64(), FALSE);
}

}  // namespace
