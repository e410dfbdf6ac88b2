#pragma once

#include <cstdint>
#include <memory>

namespace SMImplementation {

// A growable array of untyped element pointers. The derived class decides
// what an element is: how it is copied in (CloneElement) and freed
// (DestroyElement). This class only owns the array itself; a derived
// destructor destroys the elements, because the pure DestroyElement cannot be
// reached from this destructor.
class PointerVector {
 public:
  static constexpr std::uint32_t kInitialCapacity = 10;

  virtual ~PointerVector();

  PointerVector(const PointerVector&) = delete;
  PointerVector& operator=(const PointerVector&) = delete;

  virtual void DestroyElement(void* element) = 0;
  virtual void* CloneElement(const void* element) = 0;

  // Appends a clone of the element, doubling the array when it is full.
  // Throws std::bad_alloc when memory runs out; the vector is unchanged then.
  bool Add(const void* element);

  std::uint32_t Count() const { return count_; }
  std::uint32_t Capacity() const { return capacity_; }
  void* Element(std::uint32_t index) const { return elements_[index]; }

 protected:
  PointerVector();

  // For derived operations that reorder the elements in place.
  void** MutableElements() { return elements_.get(); }

 private:
  std::unique_ptr<void*[]> elements_;
  std::uint32_t count_ = 0;
  std::uint32_t capacity_ = 0;
};

}  // namespace SMImplementation
