#pragma once

#include <utility>

namespace platform {

// Owns one system handle and closes it once. Traits name the handle type, its
// invalid value and the close function; the close functions call through the
// platform tables, so a fake handle from a test never reaches a real close.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept : handle_(Traits::Invalid()) {}
  explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != Traits::Invalid(); }
  explicit operator bool() const noexcept { return valid(); }

  // Gives up ownership without closing.
  Handle release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

  // Closes the current handle (if any) and takes the new one.
  void reset(Handle handle = Traits::Invalid()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (old != Traits::Invalid()) {
      Traits::Close(old);
    }
  }

 private:
  Handle handle_;
};

}  // namespace platform
