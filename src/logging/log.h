#pragma once

#include <cstdint>
#include <string>

#include "logging/log_level.h"
#include "logging/message_codes.h"

namespace logging {

// Process-wide: false at start; only the settings loader switches it on.
// Without it only Error lines are written.
extern bool VerboseLogging;

// The log file, relative to the working directory. Its folders are never
// created: no folder, no file log.
inline constexpr const wchar_t* kLogFilePath = L"Kesvar\\Nimbra\\NimbraInstall.log";

// Writes one timestamped line to standard output and appends it to the log
// file as UTF-16LE. Never fails towards the caller and keeps the thread's last
// error value as it was.
void Log(LogLevel level, std::wstring message) noexcept;

// The message shapes, each logged at the level of the code's group.
void LogCode(MessageCode code) noexcept;                                     // "1608"
void LogCodeNumber(MessageCode code, std::int32_t number) noexcept;          // "1622 1"
void LogCodeText(MessageCode code, const std::wstring& text) noexcept;       // "1628 host"

// The error idiom: the code, a blank and the system error number. Call it on
// the line right after the failing call, before any clean-up can change the
// last error; the overload taking the number is for a value read earlier.
void LogLastError(MessageCode code) noexcept;
void LogSystemError(MessageCode code, unsigned long systemError) noexcept;

}  // namespace logging
