#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace ZAZE {

// In-place quicksort that takes the value of the middle element,
// (first + last) / 2, as the pivot of each range (Hoare's partition). The
// smaller side is sorted by recursion and the larger one by the loop, so the
// depth stays logarithmic whatever the input. less must be a strict weak
// order; elements that compare equal may end up in either order.
template <typename T, typename Less>
void QuickSortMiddlePivot(T* items, std::uint32_t count, Less less) {
  std::ptrdiff_t first = 0;
  std::ptrdiff_t last = static_cast<std::ptrdiff_t>(count) - 1;
  while (first < last) {
    const T pivot = items[first + (last - first) / 2];
    std::ptrdiff_t left = first;
    std::ptrdiff_t right = last;
    while (left <= right) {
      while (less(items[left], pivot)) {
        ++left;
      }
      while (less(pivot, items[right])) {
        --right;
      }
      if (left <= right) {
        std::swap(items[left], items[right]);
        ++left;
        --right;
      }
    }
    // Now [first, right] holds nothing above the pivot and [left, last]
    // nothing below it.
    if (right - first < last - left) {
      QuickSortMiddlePivot(items + first, static_cast<std::uint32_t>(right - first + 1), less);
      first = left;
    } else {
      QuickSortMiddlePivot(items + left, static_cast<std::uint32_t>(last - left + 1), less);
      last = right;
    }
  }
}

}  // namespace ZAZE
