#include "logging/log_line.h"

#include <gtest/gtest.h>

namespace {

using logging::FormatLogLine;
using logging::LogLevel;
using logging::LogTimestamp;

LogTimestamp At(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                unsigned second, unsigned milliseconds) {
  LogTimestamp time;
  time.year = year;
  time.month = month;
  time.day = day;
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  time.milliseconds = milliseconds;
  return time;
}

TEST(LogLine, FieldsWithoutLeadingZerosThenLevelAndMessage) {
  struct Case {
    LogTimestamp time;
    LogLevel level;
    const wchar_t* message;
    const wchar_t* line;
  };
  const Case cases[] = {
      {At(2021, 3, 7, 9, 5, 3, 45), LogLevel::Info, L"1608", L"2021-3-7+9-5-3.45 [info] 1608\r\n"},
      {At(2021, 12, 31, 23, 59, 59, 999), LogLevel::Error, L"1219 5",
       L"2021-12-31+23-59-59.999 [error] 1219 5\r\n"},
      {At(2022, 1, 1, 0, 0, 0, 0), LogLevel::Warning, L"1427 1072",
       L"2022-1-1+0-0-0.0 [warning] 1427 1072\r\n"},
      {At(2021, 10, 10, 10, 10, 10, 100), LogLevel::Info, L"", L"2021-10-10+10-10-10.100 [info] \r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatLogLine(c.time, c.level, c.message), c.line);
  }
}

TEST(LogLine, MessageIsTakenUnchanged) {
  const std::wstring message = L"C:\\Program Files\\N\u00efmbra\\svc.exe \r\n[error] 12";
  EXPECT_EQ(FormatLogLine(At(2021, 1, 2, 3, 4, 5, 6), LogLevel::Error, message),
            L"2021-1-2+3-4-5.6 [error] " + message + L"\r\n");
}

TEST(LogLine, UnknownLevelHasAnEmptyWord) {
  EXPECT_EQ(FormatLogLine(At(2021, 1, 1, 0, 0, 0, 0), static_cast<LogLevel>(3), L"x"),
            L"2021-1-1+0-0-0.0 [] x\r\n");
  EXPECT_EQ(FormatLogLine(At(2021, 1, 1, 0, 0, 0, 0), static_cast<LogLevel>(-1), L"x"),
            L"2021-1-1+0-0-0.0 [] x\r\n");
}

}  // namespace
