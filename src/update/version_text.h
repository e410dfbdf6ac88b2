#pragma once

#include "update/version_types.h"

namespace update {

// The installed version as the player's installers record it, "3.5.100.20":
// up to four dot-separated numbers, each read with ParseUnsignedDecimal;
// missing ones are 0. Five or more segments read as 0.0.0.0 (not installed).
VersionNumber ParseVersionText(const wchar_t* begin, const wchar_t* end);

}  // namespace update
