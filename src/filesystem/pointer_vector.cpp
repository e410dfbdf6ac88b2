#include "filesystem/pointer_vector.h"

#include <algorithm>
#include <limits>
#include <new>

namespace SMImplementation {

PointerVector::PointerVector() : elements_(new void*[kInitialCapacity]()), capacity_(kInitialCapacity) {}

PointerVector::~PointerVector() = default;

bool PointerVector::Add(const void* element) {
  if (count_ == capacity_) {
    // Doubling past 2^32 slots would wrap the capacity to a smaller array.
    if (capacity_ > std::numeric_limits<std::uint32_t>::max() / 2) {
      throw std::bad_alloc();
    }
    const std::uint32_t grown = capacity_ * 2;
    std::unique_ptr<void*[]> larger(new void*[grown]());
    std::copy(elements_.get(), elements_.get() + count_, larger.get());
    elements_ = std::move(larger);
    capacity_ = grown;
  }
  // Cloned before the count grows, so a clone that throws leaves no hole.
  elements_[count_] = CloneElement(element);
  ++count_;
  return true;
}

}  // namespace SMImplementation
