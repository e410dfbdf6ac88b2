#pragma once

#include <memory>

#include "update/version_types.h"

namespace update {

inline constexpr const wchar_t kManifestUserAgent[] = L"Get Nimbra Player version xml/1.0";

// Downloads the version manifest over HTTPS (port 443) from the manifest host
// and parses it. The HTTP status is not examined: whatever body arrives is
// parsed. True when all three records were made; they then replace the
// outputs, which are otherwise untouched. Every failure is logged; one early
// failure logs the code of each later step as well.
bool FetchVersionManifest(std::unique_ptr<ComponentVersion>& activeX,
                          std::unique_ptr<ComponentVersion>& plugin,
                          std::unique_ptr<SAUConfig>& config);

}  // namespace update
