#pragma once

#include <cstdio>

#include "platform/advapi32_api.h"
#include "platform/crt_api.h"
#include "platform/kernel32_api.h"
#include "platform/unique_handle.h"
#include "platform/winhttp_api.h"

namespace platform {

// A file opened with CreateFileW: invalid is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { Kernel32().CloseHandle(handle); }
};

// A folder listing started with FindFirstFileW.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) noexcept { Kernel32().FindClose(handle); }
};

// Events, processes, threads: invalid is null.
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { Kernel32().CloseHandle(handle); }
};

// A library loaded with LoadLibraryW.
struct ModuleTraits {
  using Handle = HMODULE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { Kernel32().FreeLibrary(handle); }
};

// A C runtime stream; a failing close is ignored, as every stream user wants.
struct CrtFileTraits {
  using Handle = std::FILE*;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle stream) noexcept { Crt().fclose(stream); }
};

// A registry key; predefined roots such as HKEY_LOCAL_MACHINE are never owned.
struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle key) noexcept { Advapi32().RegCloseKey(key); }
};

// A service control manager or service handle.
struct ServiceHandleTraits {
  using Handle = SC_HANDLE;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { Advapi32().CloseServiceHandle(handle); }
};

using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueModule = UniqueHandle<ModuleTraits>;
using UniqueCrtFile = UniqueHandle<CrtFileTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
using UniqueInternetHandle = UniqueHandle<InternetHandleTraits>;
using UniqueServiceHandle = UniqueHandle<ServiceHandleTraits>;

}  // namespace platform
