#include "logging/log_line.h"

#include <cstdint>

#include "logging/code_text.h"

namespace logging {

const wchar_t* LevelWord(LogLevel level) {
  switch (level) {
    case LogLevel::Info:
      return L"info";
    case LogLevel::Warning:
      return L"warning";
    case LogLevel::Error:
      return L"error";
  }
  return L"";
}

std::wstring FormatLogLine(const LogTimestamp& time, LogLevel level, const std::wstring& message) {
  const auto field = [](unsigned value) { return CodeText(static_cast<std::int32_t>(value)); };
  std::wstring line;
  line.reserve(40 + message.size());
  line += field(time.year);
  line += L'-';
  line += field(time.month);
  line += L'-';
  line += field(time.day);
  line += L'+';
  line += field(time.hour);
  line += L'-';
  line += field(time.minute);
  line += L'-';
  line += field(time.second);
  line += L'.';
  line += field(time.milliseconds);
  line += L" [";
  line += LevelWord(level);
  line += L"] ";
  line += message;
  line += L"\r\n";
  return line;
}

}  // namespace logging
