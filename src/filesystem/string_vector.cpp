#include "filesystem/string_vector.h"

#include "filesystem/quicksort.h"

namespace ZAZE {

using settings::NarrowString;

StringVector::~StringVector() {
  for (std::uint32_t index = 0; index < Count(); ++index) {
    DestroyElement(Element(index));
  }
}

void StringVector::DestroyElement(void* element) { delete static_cast<NarrowString*>(element); }

void* StringVector::CloneElement(const void* element) {
  return new NarrowString(*static_cast<const NarrowString*>(element));
}

void StringVector::Sort(Less less) {
  QuickSortMiddlePivot(MutableElements(), Count(), [less](const void* a, const void* b) {
    return less(*static_cast<const NarrowString*>(a), *static_cast<const NarrowString*>(b));
  });
}

}  // namespace ZAZE
