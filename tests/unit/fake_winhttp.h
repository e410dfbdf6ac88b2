#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "platform/scoped_override.h"
#include "platform/winhttp_api.h"

namespace testing_support {

// A scripted WinHTTP behind the seam for the lifetime of the object: fake
// handles, a body served chunk by chunk, one step that fails, and a record of
// what was asked for. Only one exists at a time.
class FakeWinHttp {
 public:
  static const HINTERNET kRoot;
  static const HINTERNET kConnection;
  static const HINTERNET kRequest;

  FakeWinHttp();
  ~FakeWinHttp();
  FakeWinHttp(const FakeWinHttp&) = delete;
  FakeWinHttp& operator=(const FakeWinHttp&) = delete;

  // Splits the body into chunks of at most 8192 bytes, as Wine offers them.
  void Serve(const std::string& body);

  // The script.
  std::string failAt;               // "open", "connect", "request", "send", "receive"
  DWORD failError = ERROR_WINHTTP_CANNOT_CONNECT;
  std::vector<std::string> chunks;
  int failQueryAtChunk = -1;
  int failReadAtChunk = -1;

  // The record.
  std::wstring agent, host, verb, path;
  DWORD accessType = 0, requestFlags = 0;
  INTERNET_PORT port = 0;
  int opened = 0;
  std::vector<HINTERNET> closed;
  std::size_t nextChunk = 0;

 private:
  platform::ScopedOverride<decltype(&::WinHttpOpen)> open_;
  platform::ScopedOverride<decltype(&::WinHttpConnect)> connect_;
  platform::ScopedOverride<decltype(&::WinHttpOpenRequest)> request_;
  platform::ScopedOverride<decltype(&::WinHttpSendRequest)> send_;
  platform::ScopedOverride<decltype(&::WinHttpReceiveResponse)> receive_;
  platform::ScopedOverride<decltype(&::WinHttpQueryDataAvailable)> query_;
  platform::ScopedOverride<decltype(&::WinHttpReadData)> read_;
  platform::ScopedOverride<decltype(&::WinHttpCloseHandle)> close_;
};

}  // namespace testing_support
