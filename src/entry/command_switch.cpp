#include "entry/command_switch.h"

#include <cwchar>
#include <iterator>

namespace entry {
namespace {

struct SwitchEntry {
  const wchar_t* text;
  CommandSwitch command;
};

constexpr SwitchEntry kSwitches[] = {
    {L"-install", CommandSwitch::Install},
    {L"-uninstall", CommandSwitch::Uninstall},
    {L"-deleteTask", CommandSwitch::DeleteTask},
    {L"-createDefaultTask", CommandSwitch::CreateDefaultTask},
    {L"-setSilentAutoUpdate", CommandSwitch::SetSilentAutoUpdate},
    {L"-setNotifyAutoUpdate", CommandSwitch::SetNotifyAutoUpdate},
    {L"-setDisableAutoUpdate", CommandSwitch::SetDisableAutoUpdate},
    {L"-isSAUEnabled", CommandSwitch::IsSAUEnabled},
};

}  // namespace

CommandSwitch ParseCommandSwitch(const wchar_t* argument) {
  if (argument == nullptr) {
    return CommandSwitch::None;
  }
  for (const SwitchEntry& entry : kSwitches) {
    if (std::wcscmp(argument, entry.text) == 0) {
      return entry.command;
    }
  }
  return CommandSwitch::None;
}

}  // namespace entry
