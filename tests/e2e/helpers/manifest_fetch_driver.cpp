// Test driver of the end-to-end tier: loads the settings from the real
// configuration file, as the service does, and fetches the version manifest.
// Prints the three records, or "failed"; the log goes to the usual place
// below the working directory. Exit code 0 when the records were made.
#include <cstdio>
#include <memory>

#include "settings/settings.h"
#include "update/manifest_fetch.h"

int wmain() {
  settings::LoadSettings();
  std::unique_ptr<update::ComponentVersion> activeX;
  std::unique_ptr<update::ComponentVersion> plugin;
  std::unique_ptr<update::SAUConfig> config;
  if (!update::FetchVersionManifest(activeX, plugin, config)) {
    std::printf("failed\n");
    return 1;
  }
  const auto print = [](const char* name, const update::VersionNumber& v) {
    std::printf("%s %u.%u.%u.%u\n", name, static_cast<unsigned>(v.major), static_cast<unsigned>(v.minor),
                static_cast<unsigned>(v.buildMajor), static_cast<unsigned>(v.buildMinor));
  };
  print("ActiveX", activeX->version);
  print("Plugin", plugin->version);
  std::printf("checkFrequency %u\n", static_cast<unsigned>(config->checkFrequency));
  return 0;
}
