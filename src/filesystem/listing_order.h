#pragma once

#include "settings/narrow_string.h"

namespace ZAZE {

// The order of a folder listing. A name made only of the digits 0 to 9 (the
// empty name included) is a number: every number comes after every other
// name, and numbers compare by their decimal value, however many digits they
// have (7 and 007 are equal). Other names compare byte by byte as unsigned
// values, case-sensitively, a name before any longer name that begins with
// it. Returns <0, 0 or >0.
int CompareListingNames(const settings::NarrowString& a, const settings::NarrowString& b);

inline bool ListingNameLess(const settings::NarrowString& a, const settings::NarrowString& b) {
  return CompareListingNames(a, b) < 0;
}

}  // namespace ZAZE
