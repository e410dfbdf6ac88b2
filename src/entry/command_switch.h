#pragma once

namespace entry {

// The eight switches of the command tool, in the order they are compared.
enum class CommandSwitch {
  None,  // no switch matched: the run does nothing
  Install,
  Uninstall,
  DeleteTask,
  CreateDefaultTask,
  SetSilentAutoUpdate,
  SetNotifyAutoUpdate,
  SetDisableAutoUpdate,
  IsSAUEnabled,
};

// Exact, case-sensitive comparison of the whole argument: "-Install",
// "/install", "install" and "-install " are all None.
CommandSwitch ParseCommandSwitch(const wchar_t* argument);

}  // namespace entry
