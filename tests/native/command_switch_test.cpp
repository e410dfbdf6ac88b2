#include "entry/command_switch.h"

#include <gtest/gtest.h>

namespace {

using entry::CommandSwitch;
using entry::ParseCommandSwitch;

TEST(CommandSwitch, EachOfTheEightSwitchesIsRecognisedExactly) {
  struct Case {
    const wchar_t* text;
    CommandSwitch command;
  };
  const Case cases[] = {
      {L"-install", CommandSwitch::Install},
      {L"-uninstall", CommandSwitch::Uninstall},
      {L"-deleteTask", CommandSwitch::DeleteTask},
      {L"-createDefaultTask", CommandSwitch::CreateDefaultTask},
      {L"-setSilentAutoUpdate", CommandSwitch::SetSilentAutoUpdate},
      {L"-setNotifyAutoUpdate", CommandSwitch::SetNotifyAutoUpdate},
      {L"-setDisableAutoUpdate", CommandSwitch::SetDisableAutoUpdate},
      {L"-isSAUEnabled", CommandSwitch::IsSAUEnabled},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseCommandSwitch(c.text), c.command);
  }
}

TEST(CommandSwitch, NearMissesAreNone) {
  for (const wchar_t* text :
       {L"-Install", L"-INSTALL", L"/install", L"install", L"-install ", L" -install", L"-instal",
        L"-installx", L"-isSAUenabled", L"-deletetask", L"--install", L"", L"-"}) {
    EXPECT_EQ(ParseCommandSwitch(text), CommandSwitch::None);
  }
  EXPECT_EQ(ParseCommandSwitch(nullptr), CommandSwitch::None);
}

}  // namespace
