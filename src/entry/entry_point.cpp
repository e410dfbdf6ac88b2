#include "entry/entry_point.h"

#include <new>
#include <string>

#include "entry/command_dispatch.h"
#include "entry/command_switch.h"
#include "entry/own_path.h"
#include "logging/log.h"
#include "service/service_controller.h"

namespace entry {

int RunMain(int argumentCount, wchar_t** arguments) {
  using logging::Log;
  using logging::LogLevel;
  using logging::MessageCode;

  int exitCode = 0;
  try {
    const wchar_t* programName = argumentCount > 0 ? arguments[0] : nullptr;
    const std::wstring fullPath = GetOwnFullPath(programName);

    // Written only with verbose logging, which no command run loads.
    Log(LogLevel::Info, fullPath);
    logging::LogCode(MessageCode::ProgramStarted);
    if (argumentCount > 1) {
      Log(LogLevel::Info, arguments[1]);
    }

    service::ServiceController controller(fullPath, service::kServiceName,
                                          service::kServiceDisplayName);
    if (argumentCount < 2) {
      RunServiceHost(controller);
    } else {
      exitCode = RunCommand(ParseCommandSwitch(arguments[1]), controller);
    }
  } catch (const std::bad_alloc&) {
    logging::LogLastError(MessageCode::EntryOutOfMemory);
  }
  return exitCode;
}

}  // namespace entry
