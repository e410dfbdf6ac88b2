#pragma once

#include <windows.h>
#include <objbase.h>

namespace platform {

// The ole32 functions the service calls.
struct Ole32Api {
  decltype(&::CoCreateGuid) CoCreateGuid = ::CoCreateGuid;
  decltype(&::StringFromGUID2) StringFromGUID2 = ::StringFromGUID2;
};

Ole32Api& Ole32();

}  // namespace platform
