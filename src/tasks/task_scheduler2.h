#pragma once

#include <string>

namespace tasks {

// Creates the hourly task "Orvane Nimbra Player Updater" in the root folder
// through Task Scheduler 2.0 (Windows NT 6.0 and later), run as SYSTEM, or,
// when it exists, sets its first trigger's repetition back to an hour and
// registers it again. True when the task was registered.
bool RegisterWithTaskScheduler2(const std::wstring& executablePath);

// "2000-01-01T00:00:00Z" with a random minute: the tens digit from one draw
// of rand_s (modulo 6), the units from another (modulo 10); 0 for a failed draw.
std::wstring MakeStartBoundary();

}  // namespace tasks
