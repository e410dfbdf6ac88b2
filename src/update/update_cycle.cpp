#include "update/update_cycle.h"

#include <memory>
#include <new>
#include <string>

#include "logging/log.h"
#include "settings/settings.h"
#include "settings/update_state.h"
#include "update/installed_version.h"
#include "update/installer_launch.h"
#include "update/manifest_fetch.h"
#include "update/package_download.h"

namespace update {
namespace {

using logging::MessageCode;

struct Manifest {
  std::unique_ptr<ComponentVersion> activeX;
  std::unique_ptr<ComponentVersion> plugin;
  std::unique_ptr<SAUConfig> config;
};

// The fetch; memory running out while the body grows counts as a manifest
// that could not be read, so the cycle ends without recording anything.
bool Fetch(Manifest& manifest) {
  try {
    return FetchVersionManifest(manifest.activeX, manifest.plugin, manifest.config);
  } catch (const std::bad_alloc&) {
    logging::LogCode(MessageCode::ManifestOutOfMemory);
    return false;
  }
}

void RecordCompletedCheck(const SAUConfig& config) {
  settings::WriteLastUpdateCheck(false);
  settings::WriteCheckFrequency(config.checkFrequency);
}

// Increments the attempts and installs; true when the installer was started.
bool TryUpdate(const ComponentVersion& version, MessageCode started, MessageCode failed) {
  settings::IncrementUpdateAttempts();  // before anything is downloaded
  if (InstallUpdate(version)) {
    logging::LogCode(started);
    return true;
  }
  logging::LogLastError(failed);
  return false;
}

// Steps after the gate: due test, fetch, attempt limit, comparison, install,
// bookkeeping.
void RunDueCycle() {
  if (!settings::IsUpdateCheckDue()) {
    return;
  }
  Manifest manifest;
  if (!Fetch(manifest)) {
    return;
  }
  std::uint32_t attempts = 0;
  if (settings::ReadUpdateAttempts(attempts) && attempts >= kMaxUpdateAttempts) {
    logging::LogCode(MessageCode::UpdateAttemptsExhausted);
    settings::SetAutoUpdateMode(settings::AutoUpdateMode::Notify);
    RecordCompletedCheck(*manifest.config);
    return;
  }
  if (IsUpdateNeeded(*manifest.activeX)) {
    if (TryUpdate(*manifest.activeX, MessageCode::ActiveXInstallerStarted, MessageCode::ActiveXInstallFailed)) {
      return;  // not recorded: the next start checks again
    }
  } else if (IsUpdateNeeded(*manifest.plugin)) {
    if (TryUpdate(*manifest.plugin, MessageCode::PluginInstallerStarted, MessageCode::PluginInstallFailed)) {
      return;
    }
  }
  RecordCompletedCheck(*manifest.config);
}

}  // namespace

bool InstallUpdate(const ComponentVersion& version) {
  try {
    if (!DownloadInstallerPackage(version.flavour)) {
      return false;
    }
    try {
      std::wstring commandLine = kInstallerCommandLine;
      return LaunchInstaller(commandLine);
    } catch (const std::bad_alloc&) {
      logging::LogLastError(MessageCode::InstallLaunchOutOfMemory);
      return false;
    }
  } catch (const std::bad_alloc&) {
    logging::LogLastError(MessageCode::InstallOutOfMemory);
    return false;
  }
}

void RunUpdateCycle() {
  logging::LogCode(MessageCode::UpdateCycleStarted);
  // "AutoUpdateDisable" wins when both keys are on.
  if (!settings::AutoUpdateDisabled && settings::SilentAutoUpdateEnabled) {
    try {
      RunDueCycle();
    } catch (const std::bad_alloc&) {
      // Memory ran out in the comparison or the bookkeeping: the cycle ends,
      // the process goes on to stop the service normally.
      logging::LogLastError(MessageCode::InstallOutOfMemory);
    }
  }
  logging::LogCode(MessageCode::UpdateCycleEnded);
}

}  // namespace update
