#pragma once

#include <windows.h>

namespace platform {

// The user32 functions the service calls.
struct User32Api {
  decltype(&::LoadStringW) LoadStringW = ::LoadStringW;
};

User32Api& User32();

}  // namespace platform
