#pragma once

#include <string>

namespace tasks {

// Creates the hourly work item "Orvane Nimbra Player Updater" through Task
// Scheduler 1.0 (Windows before NT 6.0), or, when it exists, sets its first
// trigger's interval back to an hour and keeps everything else. True when
// the work item was saved.
bool RegisterWithTaskScheduler1(const std::wstring& executablePath);

}  // namespace tasks
