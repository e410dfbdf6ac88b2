#pragma once

// Tests replace one entry of a platform table for the length of a scope:
//
//   platform::ScopedOverride failOpen(platform::Kernel32().CreateFileW, &FailingCreateFile);
//
// The replacement is a free function with the WINAPI calling convention that
// fails as Windows does (SetLastError, then the failure value). The destructor
// puts the previous entry back, so overrides nest.

namespace platform {

template <typename T>
struct TypeIdentity {
  using type = T;
};

template <typename Function>
class ScopedOverride {
 public:
  ScopedOverride(Function& entry, typename TypeIdentity<Function>::type replacement)
      : entry_(entry), saved_(entry) {
    entry_ = replacement;
  }
  ~ScopedOverride() { entry_ = saved_; }

  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

 private:
  Function& entry_;
  Function saved_;
};

}  // namespace platform
