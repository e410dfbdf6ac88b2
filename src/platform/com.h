#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

#include "platform/ole32_api.h"

namespace platform {

// Owns one reference to a COM interface.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(Interface* pointer) : pointer_(pointer) {}
  ~ComPtr() { reset(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) {
      reset();
      pointer_ = std::exchange(other.pointer_, nullptr);
    }
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* get() const { return pointer_; }
  Interface* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  // For out-parameters: releases what is held and hands out the slot.
  Interface** put() {
    reset();
    return &pointer_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }
  void reset() {
    if (pointer_ != nullptr) {
      std::exchange(pointer_, nullptr)->Release();
    }
  }

 private:
  Interface* pointer_ = nullptr;
};

// A BSTR made for one call and freed after it.
class Bstr {
 public:
  explicit Bstr(const wchar_t* text) : value_(OleAut32().SysAllocString(text)) {}
  ~Bstr() { OleAut32().SysFreeString(value_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return value_; }

 private:
  BSTR value_;
};

// A VARIANT cleared after the call.
class Variant {
 public:
  Variant() { OleAut32().VariantInit(&value_); }
  // A VT_BSTR variant holding a copy of the text.
  explicit Variant(const wchar_t* text) : Variant() {
    value_.vt = VT_BSTR;
    value_.bstrVal = OleAut32().SysAllocString(text);
  }
  ~Variant() { OleAut32().VariantClear(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  const VARIANT& get() const { return value_; }

 private:
  VARIANT value_;
};

// Leaves COM when it goes out of scope, for an operation that entered it.
class ComScope {
 public:
  ComScope() = default;
  ~ComScope() {
    if (entered_) {
      Ole32().CoUninitialize();
    }
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  void Entered() { entered_ = true; }

 private:
  bool entered_ = false;
};

}  // namespace platform
