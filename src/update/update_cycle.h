#pragma once

#include "update/version_types.h"

namespace update {

// The most update attempts before silent updating is given up.
inline constexpr std::uint32_t kMaxUpdateAttempts = 7;

// The one piece of work of a service start: when silent updating is allowed
// and a check is due, fetch the manifest, and for the first out-of-date
// flavour (ActiveX before the plug-in) download, verify and start its
// installer; keep the registry bookkeeping; after seven attempts switch to
// notify mode.
void RunUpdateCycle();

// Downloads the flavour's package and starts its installer. True when the
// installer process was started.
bool InstallUpdate(const ComponentVersion& version);

}  // namespace update
