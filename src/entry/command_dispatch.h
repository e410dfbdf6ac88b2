#pragma once

#include "entry/command_switch.h"
#include "service/service_controller.h"

namespace entry {

// Runs the action of one switch and returns the process exit code. Results of
// the actions show only in the log; only "-isSAUEnabled" changes the code.
int RunCommand(CommandSwitch command, service::ServiceController& controller);

// "-install": the service part, then, always, the scheduled task; true only
// when both succeeded.
bool InstallService(const service::ServiceController& controller);

// The run without arguments.
void RunServiceHost(service::ServiceController& controller);

}  // namespace entry
