#pragma once

#include <memory>

#include "update/version_types.h"

namespace update {

// The manifest's path on the update host.
inline constexpr const wchar_t kManifestPath[] = L"/pub/nimbraplayer/update/current/sau/11/xml/version.xml";

// Parses the version manifest in place (the text is changed):
//   <version>
//     <ActiveX major="" minor="" buildMajor="" buildMinor=""/>
//     <Plugin  major="" minor="" buildMajor="" buildMinor=""/>
//     <SAUConfig checkFrequency=""/>
//   </version>
// Only the first element and attribute of each name count; names are
// case-sensitive. True when all three records were made; they then replace
// the outputs, which are otherwise untouched. Malformed XML logs 1410, memory
// running out 1411.
bool ParseVersionManifest(char* text, std::unique_ptr<ComponentVersion>& activeX,
                          std::unique_ptr<ComponentVersion>& plugin,
                          std::unique_ptr<SAUConfig>& config);

}  // namespace update
