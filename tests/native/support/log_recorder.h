#pragma once

#include <string>
#include <vector>

namespace testing_support {

// The host tests' stand-in for the log writer: every message that would be
// written (the level rules apply) is kept as "[level] message".
std::vector<std::wstring>& RecordedLog();

}  // namespace testing_support
