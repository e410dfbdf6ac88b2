#include "update/version_text.h"

#include "update/unsigned_decimal.h"

namespace update {

VersionNumber ParseVersionText(const wchar_t* begin, const wchar_t* end) {
  std::uint32_t fields[4] = {};
  int segment = 0;
  const wchar_t* segmentStart = begin;
  for (const wchar_t* p = begin;; ++p) {
    if (p == end || *p == L'.') {
      if (segment == 4) {
        return VersionNumber{};  // a fifth segment: as if nothing were installed
      }
      fields[segment++] = ParseUnsignedDecimal(segmentStart, p);
      if (p == end) {
        break;
      }
      segmentStart = p + 1;
    }
  }
  return VersionNumber{fields[0], fields[1], fields[2], fields[3]};
}

}  // namespace update
