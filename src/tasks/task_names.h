#pragma once

namespace tasks {

// The hourly task, the same in both scheduler generations.
inline constexpr const wchar_t kTaskName[] = L"Orvane Nimbra Player Updater";
inline constexpr const wchar_t kTaskAuthor[] = L"Orvane Systems Incorporated";

}  // namespace tasks
