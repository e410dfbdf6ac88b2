#pragma once

#include <windows.h>
#include <winhttp.h>

namespace platform {

// The WinHTTP functions the service calls.
struct WinHttpApi {
  decltype(&::WinHttpOpen) WinHttpOpen = ::WinHttpOpen;
  decltype(&::WinHttpConnect) WinHttpConnect = ::WinHttpConnect;
  decltype(&::WinHttpOpenRequest) WinHttpOpenRequest = ::WinHttpOpenRequest;
  decltype(&::WinHttpSendRequest) WinHttpSendRequest = ::WinHttpSendRequest;
  decltype(&::WinHttpReceiveResponse) WinHttpReceiveResponse = ::WinHttpReceiveResponse;
  decltype(&::WinHttpQueryDataAvailable) WinHttpQueryDataAvailable = ::WinHttpQueryDataAvailable;
  decltype(&::WinHttpReadData) WinHttpReadData = ::WinHttpReadData;
  decltype(&::WinHttpCloseHandle) WinHttpCloseHandle = ::WinHttpCloseHandle;
};

WinHttpApi& WinHttp();

// An HINTERNET from WinHTTP, closed with WinHttpCloseHandle.
struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle handle) noexcept { WinHttp().WinHttpCloseHandle(handle); }
};

}  // namespace platform
