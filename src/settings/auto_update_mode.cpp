#include <memory>
#include <new>

#include "logging/log.h"
#include "settings/config_file.h"
#include "settings/settings.h"

namespace settings {

using logging::MessageCode;

bool SetAutoUpdateMode(AutoUpdateMode mode) {
  const char* silentValue = nullptr;
  const char* disableValue = nullptr;
  switch (mode) {
    case AutoUpdateMode::Silent:
      silentValue = "1";
      disableValue = "0";
      break;
    case AutoUpdateMode::Notify:
      silentValue = "0";
      disableValue = "0";
      break;
    case AutoUpdateMode::Disable:
      silentValue = "0";
      disableValue = "1";
      break;
    default:
      return false;  // not a mode: nothing is read or written
  }
  try {
    // The current file is read first, so every other key it holds stays.
    const auto file = std::make_unique<ConfigFile>(GetConfigFilePath());
    file->Set(kSilentAutoUpdateEnableKey, silentValue);
    file->Set(kAutoUpdateDisableKey, disableValue);
    return file->Save();
  } catch (const std::bad_alloc&) {
    logging::LogCode(MessageCode::SetModeOutOfMemory);
    return false;
  }
}

bool IsSilentAutoUpdateEnabled() {
  try {
    const auto file = std::make_unique<ConfigFile>(GetConfigFilePath());
    const bool enabled = ParseBool(file->Get(kSilentAutoUpdateEnableKey));
    if (enabled) {
      logging::LogCode(MessageCode::SilentAutoUpdateOn);
    }
    return enabled;
  } catch (const std::bad_alloc&) {
    logging::LogCode(MessageCode::QueryModeOutOfMemory);
    return false;
  }
}

}  // namespace settings
