#pragma once

#include <windows.h>

namespace platform {

// The kernel32 functions the service calls, each set to the real function.
// Product code calls them as Kernel32().CreateFileW(...); tests swap one entry
// with ScopedOverride to make a single call fail.
struct Kernel32Api {
  // Files
  decltype(&::CreateFileW) CreateFileW = ::CreateFileW;
  decltype(&::ReadFile) ReadFile = ::ReadFile;
  decltype(&::WriteFile) WriteFile = ::WriteFile;
  decltype(&::CloseHandle) CloseHandle = ::CloseHandle;
  decltype(&::GetFullPathNameW) GetFullPathNameW = ::GetFullPathNameW;
  decltype(&::GetFileSize) GetFileSize = ::GetFileSize;
  decltype(&::GetFileSizeEx) GetFileSizeEx = ::GetFileSizeEx;
  decltype(&::GetFileAttributesW) GetFileAttributesW = ::GetFileAttributesW;
  decltype(&::FindFirstFileW) FindFirstFileW = ::FindFirstFileW;
  decltype(&::FindNextFileW) FindNextFileW = ::FindNextFileW;
  decltype(&::FindClose) FindClose = ::FindClose;
  decltype(&::DeleteFileW) DeleteFileW = ::DeleteFileW;
  decltype(&::CreateDirectoryW) CreateDirectoryW = ::CreateDirectoryW;
  decltype(&::RemoveDirectoryW) RemoveDirectoryW = ::RemoveDirectoryW;
  decltype(&::GetTempPathW) GetTempPathW = ::GetTempPathW;
  decltype(&::GetTempFileNameW) GetTempFileNameW = ::GetTempFileNameW;
  decltype(&::GetCurrentDirectoryW) GetCurrentDirectoryW = ::GetCurrentDirectoryW;

  // Time
  decltype(&::GetSystemTime) GetSystemTime = ::GetSystemTime;
  decltype(&::GetSystemTimeAsFileTime) GetSystemTimeAsFileTime = ::GetSystemTimeAsFileTime;
  decltype(&::SystemTimeToFileTime) SystemTimeToFileTime = ::SystemTimeToFileTime;

  // System
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  decltype(&::GetVersionExA) GetVersionExA = ::GetVersionExA;
#pragma GCC diagnostic pop

  // Processes
  decltype(&::GetCurrentProcess) GetCurrentProcess = ::GetCurrentProcess;
  decltype(&::CreateProcessW) CreateProcessW = ::CreateProcessW;

  // Events
  decltype(&::CreateEventW) CreateEventW = ::CreateEventW;
  decltype(&::SetEvent) SetEvent = ::SetEvent;

  // Console
  decltype(&::GetStdHandle) GetStdHandle = ::GetStdHandle;
  decltype(&::GetConsoleMode) GetConsoleMode = ::GetConsoleMode;
  decltype(&::WriteConsoleW) WriteConsoleW = ::WriteConsoleW;

  // Modules
  decltype(&::GetModuleHandleW) GetModuleHandleW = ::GetModuleHandleW;
  decltype(&::GetModuleFileNameW) GetModuleFileNameW = ::GetModuleFileNameW;
  decltype(&::LoadLibraryW) LoadLibraryW = ::LoadLibraryW;
  decltype(&::FreeLibrary) FreeLibrary = ::FreeLibrary;
  decltype(&::GetProcAddress) GetProcAddress = ::GetProcAddress;

  // Text conversion
  decltype(&::WideCharToMultiByte) WideCharToMultiByte = ::WideCharToMultiByte;
  decltype(&::MultiByteToWideChar) MultiByteToWideChar = ::MultiByteToWideChar;
};

// The process's table.
Kernel32Api& Kernel32();

}  // namespace platform
