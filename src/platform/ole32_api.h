#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

namespace platform {

// The ole32 functions the service calls.
struct Ole32Api {
  decltype(&::CoCreateGuid) CoCreateGuid = ::CoCreateGuid;
  decltype(&::StringFromGUID2) StringFromGUID2 = ::StringFromGUID2;

  // The COM runtime, entered and left by each scheduled-task operation.
  decltype(&::CoInitialize) CoInitialize = ::CoInitialize;
  decltype(&::CoInitializeEx) CoInitializeEx = ::CoInitializeEx;
  decltype(&::CoInitializeSecurity) CoInitializeSecurity = ::CoInitializeSecurity;
  decltype(&::CoCreateInstance) CoCreateInstance = ::CoCreateInstance;
  decltype(&::CoUninitialize) CoUninitialize = ::CoUninitialize;
};

// The oleaut32 functions: automation strings and variants.
struct OleAut32Api {
  decltype(&::SysAllocString) SysAllocString = ::SysAllocString;
  decltype(&::SysFreeString) SysFreeString = ::SysFreeString;
  decltype(&::VariantInit) VariantInit = ::VariantInit;
  decltype(&::VariantClear) VariantClear = ::VariantClear;
};

OleAut32Api& OleAut32();

Ole32Api& Ole32();

}  // namespace platform
