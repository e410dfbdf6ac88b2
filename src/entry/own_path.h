#pragma once

#include <string>

namespace entry {

// The full path of the running program, from the name it was started with
// (element 0 of the command line), for the service registration and the
// scheduled task.
std::wstring GetOwnFullPath(const wchar_t* programName);

}  // namespace entry
