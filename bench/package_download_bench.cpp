// The service's own package download, measured: settings from the real
// configuration file, then DownloadInstallerPackage for the ActiveX package.
#include <cstdio>

#include "measure.h"
#include "settings/settings.h"
#include "update/package_download.h"

int wmain() {
  settings::LoadSettings();
  const bench::Measurement measurement;
  const bool written = update::DownloadInstallerPackage(update::PlayerFlavour::ActiveX);
  measurement.Print(written ? "service" : "service-FAILED");
  return written ? 0 : 1;
}
