#include "entry/command_dispatch.h"

#include <memory>

#include "entry/entry_point.h"
#include "service/service_runtime.h"
#include "settings/service_context.h"
#include "settings/settings.h"

namespace entry {

int RunCommand(CommandSwitch command, service::ServiceController& controller) {
  using settings::AutoUpdateMode;
  switch (command) {
    case CommandSwitch::None:
      break;
    case CommandSwitch::Install:
      // The scheduled task is created after the service once the task
      // commands are part of the program.
      service::InstallServicePart(controller);
      break;
    case CommandSwitch::Uninstall:
      if (controller.Exists()) {
        controller.Stop();  // a stopped service refuses; it is deleted all the same
        controller.Delete();
      }
      break;
    // Recognised, and without an action in this program yet.
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

void RunServiceHost(service::ServiceController& controller) {
  // The context exists only while the dispatcher runs; its construction loads
  // the settings (and with them verbose logging).
  auto context = std::make_unique<settings::ServiceContext>(controller.executablePath);
  settings::CurrentServiceContext = context.get();
  const bool ranAsService = service::RunServiceDispatcher();
  settings::CurrentServiceContext = nullptr;
  context.reset();
  if (!ranAsService) {
    // Started by the hourly task or by hand: the SCM starts the service in a
    // new process; this one does not wait.
    controller.Start();
  }
}

}  // namespace entry
