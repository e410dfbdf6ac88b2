#pragma once

#include <string>

#include "logging/log_level.h"

namespace logging {

// The UTC time of a log line, as GetSystemTime gives it.
struct LogTimestamp {
  unsigned year = 0;
  unsigned month = 0;
  unsigned day = 0;
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  unsigned milliseconds = 0;
};

// "info", "warning", "error"; empty for any other value.
const wchar_t* LevelWord(LogLevel level);

// One log line: "2021-3-7+9-5-3.45 [info] 1608\r\n". No field has leading
// zeros; the message is taken unchanged.
std::wstring FormatLogLine(const LogTimestamp& time, LogLevel level, const std::wstring& message);

}  // namespace logging
