#include "entry/command_dispatch.h"

#include "entry/entry_point.h"
#include "settings/settings.h"

namespace entry {

int RunCommand(CommandSwitch command, service::ServiceController& controller) {
  static_cast<void>(controller);
  using settings::AutoUpdateMode;
  switch (command) {
    case CommandSwitch::None:
      break;
    // Recognised, and without an action in this program yet.
    case CommandSwitch::Install:
    case CommandSwitch::Uninstall:
    case CommandSwitch::DeleteTask:
    case CommandSwitch::CreateDefaultTask:
      break;
    // The mode switches' results show only in the log; the exit code stays 0.
    case CommandSwitch::SetSilentAutoUpdate:
      settings::SetAutoUpdateMode(AutoUpdateMode::Silent);
      break;
    case CommandSwitch::SetNotifyAutoUpdate:
      settings::SetAutoUpdateMode(AutoUpdateMode::Notify);
      break;
    case CommandSwitch::SetDisableAutoUpdate:
      settings::SetAutoUpdateMode(AutoUpdateMode::Disable);
      break;
    case CommandSwitch::IsSAUEnabled:
      return settings::IsSilentAutoUpdateEnabled() ? kSilentAutoUpdateEnabledExitCode : 0;
  }
  return 0;
}

void RunServiceHost(service::ServiceController& controller) { static_cast<void>(controller); }

}  // namespace entry
