#pragma once

#include "update/version_types.h"

namespace update {

// The installed version of a flavour from the registry key its installer
// writes, or 0.0.0.0 when it is not installed, cannot be read, or is the
// debugger build ("isScriptDebugger" not 0). Nothing is logged.
VersionNumber ReadInstalledVersion(PlayerFlavour flavour);

// True when the flavour is installed and the manifest's version is newer, so
// the service never installs an equal or older build.
bool IsUpdateNeeded(const ComponentVersion& available);

}  // namespace update
