// The log interface for host builds of the portable code: lines are recorded
// instead of written, with the same level rules and message shapes.
#include "log_recorder.h"

#include <cerrno>

#include "logging/code_text.h"
#include "logging/log.h"
#include "logging/log_line.h"

namespace logging {

bool VerboseLogging = false;

void Log(LogLevel level, std::wstring message) noexcept {
  if (level != LogLevel::Error && !VerboseLogging) {
    return;
  }
  testing_support::RecordedLog().push_back(std::wstring(L"[") + LevelWord(level) + L"] " + message);
}

void LogCode(MessageCode code) noexcept { Log(LevelOf(code), CodeText(NumberOf(code))); }

void LogCodeNumber(MessageCode code, std::int32_t number) noexcept {
  Log(LevelOf(code), CodeText(NumberOf(code)) + L" " + CodeText(number));
}

void LogCodeText(MessageCode code, const std::wstring& text) noexcept {
  Log(LevelOf(code), CodeText(NumberOf(code)) + L" " + text);
}

void LogSystemError(MessageCode code, unsigned long systemError) noexcept {
  LogCodeNumber(code, static_cast<std::int32_t>(systemError));
}

void LogLastError(MessageCode code) noexcept { LogSystemError(code, static_cast<unsigned long>(errno)); }

}  // namespace logging

namespace testing_support {

std::vector<std::wstring>& RecordedLog() {
  static std::vector<std::wstring> lines;
  return lines;
}

}  // namespace testing_support
