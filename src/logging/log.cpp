#include "logging/log.h"

#include <windows.h>

#include "logging/code_text.h"
#include "logging/log_line.h"
#include "platform/crt_api.h"
#include "platform/handles.h"
#include "platform/kernel32_api.h"

namespace logging {

bool VerboseLogging = false;

namespace {

LogTimestamp CurrentUtcTime() {
  SYSTEMTIME now{};
  platform::Kernel32().GetSystemTime(&now);
  LogTimestamp time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.milliseconds = now.wMilliseconds;
  return time;
}

// The console copy: the line and one more line feed. A real console gets the
// UTF-16 text itself, so every character shows as the console's font can; when
// standard output is redirected to a file or pipe it gets UTF-8 bytes. A service
// has no standard output, and any failure here is ignored.
void WriteToConsole(const std::wstring& line) {
  auto& kernel = platform::Kernel32();
  const HANDLE output = kernel.GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) {
    return;
  }
  const std::wstring text = line + L"\n";
  const auto units = static_cast<DWORD>(text.size());
  DWORD mode = 0;
  if (kernel.GetConsoleMode(output, &mode)) {
    DWORD written = 0;
    kernel.WriteConsoleW(output, text.data(), units, &written, nullptr);
    return;
  }
  const int size = kernel.WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(units),
                                              nullptr, 0, nullptr, nullptr);
  if (size <= 0) {
    return;
  }
  std::string bytes(static_cast<std::size_t>(size), '\0');
  kernel.WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(units), bytes.data(), size,
                             nullptr, nullptr);
  DWORD written = 0;
  kernel.WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

// Appends the line's UTF-16 code units in one write. The file is opened and
// closed for every line with no sharing restriction, so others may read, move
// or delete it between lines.
void AppendToLogFile(const std::wstring& line) {
  auto& crt = platform::Crt();
  platform::UniqueCrtFile file(crt._wfsopen(kLogFilePath, L"ab", _SH_DENYNO));
  if (!file) {
    return;
  }
  crt.fwrite(line.data(), 1, line.size() * sizeof(wchar_t), file.get());
}

std::wstring CodeWithSuffix(MessageCode code, const std::wstring& suffix) {
  std::wstring message = CodeText(NumberOf(code));
  message += L' ';
  message += suffix;
  return message;
}

bool IsWritten(LogLevel level) { return level == LogLevel::Error || VerboseLogging; }

}  // namespace

void Log(LogLevel level, std::wstring message) noexcept {
  if (!IsWritten(level)) {
    return;
  }
  const DWORD lastError = ::GetLastError();
  try {
    const std::wstring line = FormatLogLine(CurrentUtcTime(), level, message);
    WriteToConsole(line);
    AppendToLogFile(line);
  } catch (...) {
    // Out of memory while building the line: the line is lost, the caller goes on.
  }
  ::SetLastError(lastError);
}

void LogCode(MessageCode code) noexcept {
  if (!IsWritten(LevelOf(code))) {
    return;
  }
  try {
    Log(LevelOf(code), CodeText(NumberOf(code)));
  } catch (...) {
  }
}

void LogCodeNumber(MessageCode code, std::int32_t number) noexcept {
  if (!IsWritten(LevelOf(code))) {
    return;
  }
  try {
    Log(LevelOf(code), CodeWithSuffix(code, CodeText(number)));
  } catch (...) {
  }
}

void LogCodeText(MessageCode code, const std::wstring& text) noexcept {
  if (!IsWritten(LevelOf(code))) {
    return;
  }
  try {
    Log(LevelOf(code), CodeWithSuffix(code, text));
  } catch (...) {
  }
}

void LogSystemError(MessageCode code, unsigned long systemError) noexcept {
  LogCodeNumber(code, static_cast<std::int32_t>(systemError));
}

void LogLastError(MessageCode code) noexcept { LogSystemError(code, ::GetLastError()); }

}  // namespace logging
