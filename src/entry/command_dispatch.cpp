#include "entry/command_dispatch.h"

namespace entry {

int RunCommand(CommandSwitch command, service::ServiceController& controller) {
  static_cast<void>(controller);
  switch (command) {
    case CommandSwitch::None:
      break;
    // The switches below are recognised; each does nothing until its action
    // (service, task or configuration) is part of the program.
    case CommandSwitch::Install:
    case CommandSwitch::Uninstall:
    case CommandSwitch::DeleteTask:
    case CommandSwitch::CreateDefaultTask:
    case CommandSwitch::SetSilentAutoUpdate:
    case CommandSwitch::SetNotifyAutoUpdate:
    case CommandSwitch::SetDisableAutoUpdate:
    case CommandSwitch::IsSAUEnabled:
      break;
  }
  return 0;
}

void RunServiceHost(service::ServiceController& controller) { static_cast<void>(controller); }

}  // namespace entry
