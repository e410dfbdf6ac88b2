#pragma once

#include <windows.h>

#include <string>

namespace settings {

// Made once by the service run before the service dispatcher starts: records
// whether the process runs under WOW64 and loads the settings.
class ServiceContext {
 public:
  explicit ServiceContext(std::wstring path);

  const std::wstring modulePath;
};

// The context of the running service, or null; set by the entry point only
// while the service dispatcher runs.
extern ServiceContext* CurrentServiceContext;

// IsWow64Process for this process, looked up at run time in kernel32 (it is
// missing on early Windows versions); FALSE when it does not exist.
BOOL DetectWow64();

}  // namespace settings
