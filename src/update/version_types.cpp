#include "update/version_types.h"

namespace update {

int CompareVersions(const VersionNumber& a, const VersionNumber& b) {
  const std::uint32_t left[] = {a.major, a.minor, a.buildMajor, a.buildMinor};
  const std::uint32_t right[] = {b.major, b.minor, b.buildMajor, b.buildMinor};
  for (int i = 0; i < 4; ++i) {
    if (left[i] != right[i]) {
      return left[i] > right[i] ? 1 : -1;
    }
  }
  return 0;
}

}  // namespace update
