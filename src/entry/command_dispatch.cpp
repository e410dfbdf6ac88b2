#include "entry/command_dispatch.h"

#include <memory>

#include "entry/entry_point.h"
#include "service/service_runtime.h"
#include "settings/service_context.h"
#include "settings/settings.h"
#include "tasks/task_commands.h"

namespace entry {

bool InstallService(const service::ServiceController& controller) {
  const bool servicePart = service::InstallServicePart(controller);
  const bool taskPart = tasks::CreateDefaultTask(controller);  // whatever the service part gave
  return servicePart && taskPart;
}

int RunCommand(CommandSwitch command, service::ServiceController& controller) {
  using settings::AutoUpdateMode;
  switch (command) {
    case CommandSwitch::None:
      break;
    case CommandSwitch::Install:
      InstallService(controller);
      break;
    case CommandSwitch::Uninstall:
      tasks::RemoveDefaultTask();
      if (controller.Exists()) {
        controller.Stop();  // a stopped service refuses; it is deleted all the same
        controller.Delete();
      }
      break;
    case CommandSwitch::DeleteTask:
      tasks::RemoveDefaultTask();
      break;
    case CommandSwitch::CreateDefaultTask:
      tasks::CreateDefaultTask(controller);
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
