#include "logging/log.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "test_support.h"

namespace {

using logging::Log;
using logging::LogLevel;
using logging::MessageCode;
using testing_support::CapturedConsole;
using testing_support::LogFilePath;
using testing_support::ReadAllBytes;
using testing_support::ScratchDirectory;
using testing_support::Utf16LeBytes;
using testing_support::Utf8Bytes;

SYSTEMTIME g_now{};

void WINAPI FixedSystemTime(LPSYSTEMTIME time) { *time = g_now; }

SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second,
                    WORD milliseconds) {
  SYSTEMTIME time{};
  time.wYear = year;
  time.wMonth = month;
  time.wDay = day;
  time.wHour = hour;
  time.wMinute = minute;
  time.wSecond = second;
  time.wMilliseconds = milliseconds;
  return time;
}

// Each test runs in its own working directory, with a fixed clock and standard
// output captured in a file; the log folder exists unless a test removes it.
class LogWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    logging::VerboseLogging = false;
    g_now = MakeTime(2021, 3, 7, 9, 5, 3, 45);
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override { logging::VerboseLogging = false; }

  std::string FileBytes() const { return ReadAllBytes(LogFilePath()); }

  ScratchDirectory scratch_;
  platform::ScopedOverride<decltype(&::GetSystemTime)> clock_{platform::Kernel32().GetSystemTime,
                                                               &FixedSystemTime};
  CapturedConsole console_;
};

TEST_F(LogWriter, ErrorLineReachesFileAsUtf16AndConsoleWithExtraLineFeed) {
  Log(LogLevel::Error, L"1219 5");

  const std::wstring line = L"2021-3-7+9-5-3.45 [error] 1219 5\r\n";
  EXPECT_EQ(FileBytes(), Utf16LeBytes(line));  // no byte-order mark, nothing else
  EXPECT_EQ(console_.Bytes(), Utf8Bytes(line + L"\n"));
}

TEST_F(LogWriter, TimeFieldsHaveNoLeadingZeros) {
  struct Case {
    SYSTEMTIME time;
    const wchar_t* expected;
  };
  const Case cases[] = {
      {MakeTime(2021, 12, 31, 23, 59, 59, 999), L"2021-12-31+23-59-59.999 [error] 1\r\n"},
      {MakeTime(2022, 1, 1, 0, 0, 0, 0), L"2022-1-1+0-0-0.0 [error] 1\r\n"},
      {MakeTime(2021, 3, 7, 9, 5, 3, 5), L"2021-3-7+9-5-3.5 [error] 1\r\n"},
  };
  std::wstring expected;
  for (const Case& c : cases) {
    g_now = c.time;
    Log(LogLevel::Error, L"1");
    expected += c.expected;
  }
  EXPECT_EQ(FileBytes(), Utf16LeBytes(expected));
}

TEST_F(LogWriter, NonAsciiMessageKeepsItsUtf16CodeUnits) {
  // Latin-1, CJK and a surrogate pair (U+1F600).
  const std::wstring message = L"1628 upd\u00e4te.\u65e5\u672c.test \xD83D\xDE00";
  Log(LogLevel::Error, message);

  const std::wstring line = L"2021-3-7+9-5-3.45 [error] " + message + L"\r\n";
  EXPECT_EQ(FileBytes(), Utf16LeBytes(line));
  EXPECT_EQ(console_.Bytes(), Utf8Bytes(line + L"\n"));
}

TEST_F(LogWriter, InfoAndWarningNeedVerboseLogging) {
  Log(LogLevel::Info, L"1608");
  Log(LogLevel::Warning, L"1413 5");
  logging::LogCode(MessageCode::UpdateCycleStarted);
  EXPECT_FALSE(testing_support::PathExists(LogFilePath()));
  EXPECT_EQ(console_.Bytes(), "");

  logging::VerboseLogging = true;
  Log(LogLevel::Info, L"1608");
  Log(LogLevel::Warning, L"1413 5");
  Log(LogLevel::Error, L"1219 5");
  EXPECT_EQ(FileBytes(), Utf16LeBytes(L"2021-3-7+9-5-3.45 [info] 1608\r\n"
                                      L"2021-3-7+9-5-3.45 [warning] 1413 5\r\n"
                                      L"2021-3-7+9-5-3.45 [error] 1219 5\r\n"));
}

TEST_F(LogWriter, LevelOutsideTheThreeHasNoWord) {
  Log(static_cast<LogLevel>(7), L"x");  // suppressed like Info without verbose logging
  EXPECT_EQ(FileBytes(), "");
  logging::VerboseLogging = true;
  Log(static_cast<LogLevel>(7), L"x");
  EXPECT_EQ(FileBytes(), Utf16LeBytes(L"2021-3-7+9-5-3.45 [] x\r\n"));
}

TEST_F(LogWriter, AppendsToExistingFileWithoutHeader) {
  testing_support::WriteAllBytes(LogFilePath(), Utf16LeBytes(L"earlier\r\n"));
  Log(LogLevel::Error, L"1");
  Log(LogLevel::Error, L"2");
  EXPECT_EQ(FileBytes(), Utf16LeBytes(L"earlier\r\n2021-3-7+9-5-3.45 [error] 1\r\n"
                                      L"2021-3-7+9-5-3.45 [error] 2\r\n"));
}

TEST_F(LogWriter, MissingFolderIsNeverCreatedAndConsoleStillShowsTheLine) {
  testing_support::RemoveTree(scratch_.Child(L"Kesvar"));
  testing_support::CreateFolders(scratch_.Child(L"Kesvar"));  // only the first level exists

  Log(LogLevel::Error, L"1219 5");

  EXPECT_FALSE(testing_support::PathExists(scratch_.Child(L"Kesvar\\Nimbra")));
  EXPECT_EQ(console_.Bytes(), Utf8Bytes(L"2021-3-7+9-5-3.45 [error] 1219 5\r\n\n"));
}

TEST_F(LogWriter, FileLockedAgainstWritingLosesOnlyTheFileCopy) {
  testing_support::WriteAllBytes(LogFilePath(), "");
  const HANDLE lock = ::CreateFileW(LogFilePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  ::SetLastError(42);

  Log(LogLevel::Error, L"1219 5");

  EXPECT_EQ(::GetLastError(), 42u);  // the caller's last error is untouched
  ::CloseHandle(lock);
  EXPECT_EQ(FileBytes(), "");
  EXPECT_EQ(console_.Bytes(), Utf8Bytes(L"2021-3-7+9-5-3.45 [error] 1219 5\r\n\n"));
}

TEST_F(LogWriter, WritesWhileAnotherProgramHasTheFileOpen) {
  testing_support::WriteAllBytes(LogFilePath(), "");
  const HANDLE reader = ::CreateFileW(LogFilePath().c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  Log(LogLevel::Error, L"1");
  ::CloseHandle(reader);
  EXPECT_EQ(FileBytes(), Utf16LeBytes(L"2021-3-7+9-5-3.45 [error] 1\r\n"));
}

TEST_F(LogWriter, ErrorIdiomCarriesTheLastErrorAsSigned32Bits) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  logging::LogLastError(MessageCode::CreateOpenScmFailed);
  logging::LogSystemError(MessageCode::Ts2ConnectFailed, 0x80070002UL);
  logging::LogCodeNumber(MessageCode::StopControlFailed, -1);
  EXPECT_EQ(FileBytes(), Utf16LeBytes(L"2021-3-7+9-5-3.45 [error] 1219 5\r\n"
                                      L"2021-3-7+9-5-3.45 [error] 1261 -2147024894\r\n"
                                      L"2021-3-7+9-5-3.45 [error] 1226 -1\r\n"));
}

TEST_F(LogWriter, CodeHelpersLogAtTheLevelOfTheCodesGroup) {
  logging::VerboseLogging = true;
  logging::LogCode(MessageCode::UpdateCycleStarted);
  logging::LogSystemError(MessageCode::ReconfigureFailed, 1072);
  logging::LogCodeText(MessageCode::ManifestHostConfigured, L"updates.example.test");
  EXPECT_EQ(FileBytes(), Utf16LeBytes(L"2021-3-7+9-5-3.45 [info] 1608\r\n"
                                      L"2021-3-7+9-5-3.45 [warning] 1427 1072\r\n"
                                      L"2021-3-7+9-5-3.45 [info] 1629 updates.example.test\r\n"));
}

// A real console gets the UTF-16 text through WriteConsoleW.
std::wstring g_consoleText;
BOOL WINAPI ConsoleModeOk(HANDLE, LPDWORD mode) {
  *mode = ENABLE_PROCESSED_OUTPUT;
  return TRUE;
}
BOOL WINAPI RecordConsoleWrite(HANDLE, const VOID* buffer, DWORD units, LPDWORD written, LPVOID) {
  g_consoleText.append(static_cast<const wchar_t*>(buffer), units);
  *written = units;
  return TRUE;
}

TEST_F(LogWriter, RealConsoleReceivesWideText) {
  g_consoleText.clear();
  platform::ScopedOverride mode(platform::Kernel32().GetConsoleMode, &ConsoleModeOk);
  platform::ScopedOverride write(platform::Kernel32().WriteConsoleW, &RecordConsoleWrite);
  Log(LogLevel::Error, L"1219 \u00e5");
  EXPECT_EQ(g_consoleText, L"2021-3-7+9-5-3.45 [error] 1219 \u00e5\r\n\n");
}

HANDLE WINAPI NoStandardOutput(DWORD) { return nullptr; }

TEST_F(LogWriter, WithoutStandardOutputTheFileIsStillWritten) {
  platform::ScopedOverride noOutput(platform::Kernel32().GetStdHandle, &NoStandardOutput);
  Log(LogLevel::Error, L"1240 5");
  EXPECT_EQ(FileBytes(), Utf16LeBytes(L"2021-3-7+9-5-3.45 [error] 1240 5\r\n"));
}

}  // namespace
