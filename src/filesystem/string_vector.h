#pragma once

#include <cstdint>

#include "filesystem/pointer_vector.h"
#include "settings/narrow_string.h"

namespace ZAZE {

// An owning list of names: every element is a NarrowString the vector made
// as a copy of the one given to Add, and frees when it is destroyed.
class StringVector : public SMImplementation::PointerVector {
 public:
  using Less = bool (*)(const settings::NarrowString&, const settings::NarrowString&);

  StringVector() = default;
  ~StringVector() override;

  void DestroyElement(void* element) override;
  void* CloneElement(const void* element) override;

  bool Add(const settings::NarrowString& name) { return PointerVector::Add(&name); }
  const settings::NarrowString& At(std::uint32_t index) const {
    return *static_cast<const settings::NarrowString*>(Element(index));
  }

  // Sorts in place, ascending by less (a quicksort: equal names may change
  // places).
  void Sort(Less less);
};

}  // namespace ZAZE
