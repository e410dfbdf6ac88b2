#pragma once

namespace logging {

// The level of a log line. Info and Warning lines are written only when
// VerboseLogging is on; Error lines always.
enum class LogLevel : int {
  Info = 0,
  Warning = 1,
  Error = 2,
};

}  // namespace logging
