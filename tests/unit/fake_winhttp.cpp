#include "fake_winhttp.h"

#include <gtest/gtest.h>

namespace testing_support {
namespace {

FakeWinHttp* g_fake = nullptr;

bool Fails(const char* step) {
  if (g_fake->failAt == step) {
    ::SetLastError(g_fake->failError);
    return true;
  }
  return false;
}

HINTERNET WINAPI Open(LPCWSTR agent, DWORD access, LPCWSTR proxy, LPCWSTR bypass, DWORD flags) {
  ++g_fake->opened;
  g_fake->agent = agent;
  g_fake->accessType = access;
  EXPECT_EQ(proxy, nullptr);   // WINHTTP_NO_PROXY_NAME
  EXPECT_EQ(bypass, nullptr);  // WINHTTP_NO_PROXY_BYPASS
  EXPECT_EQ(flags, 0u);
  return Fails("open") ? nullptr : FakeWinHttp::kRoot;
}

HINTERNET WINAPI Connect(HINTERNET root, LPCWSTR host, INTERNET_PORT port, DWORD) {
  EXPECT_EQ(root, FakeWinHttp::kRoot);
  g_fake->host = host;
  g_fake->port = port;
  return Fails("connect") ? nullptr : FakeWinHttp::kConnection;
}

HINTERNET WINAPI OpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR path, LPCWSTR version,
                             LPCWSTR referrer, LPCWSTR* accept, DWORD flags) {
  EXPECT_EQ(connection, FakeWinHttp::kConnection);
  EXPECT_EQ(version, nullptr);
  EXPECT_EQ(referrer, nullptr);  // WINHTTP_NO_REFERER
  EXPECT_EQ(accept, nullptr);    // WINHTTP_DEFAULT_ACCEPT_TYPES
  g_fake->verb = verb;
  g_fake->path = path;
  g_fake->requestFlags = flags;
  return Fails("request") ? nullptr : FakeWinHttp::kRequest;
}

BOOL WINAPI Send(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID data, DWORD dataLength,
                 DWORD totalLength, DWORD_PTR context) {
  EXPECT_EQ(request, FakeWinHttp::kRequest);
  EXPECT_EQ(headers, nullptr);  // WINHTTP_NO_ADDITIONAL_HEADERS
  EXPECT_EQ(data, nullptr);     // WINHTTP_NO_REQUEST_DATA
  EXPECT_EQ(headersLength + dataLength + totalLength, 0u);
  EXPECT_EQ(context, 0u);
  return Fails("send") ? FALSE : TRUE;
}

BOOL WINAPI Receive(HINTERNET request, LPVOID reserved) {
  EXPECT_EQ(request, FakeWinHttp::kRequest);
  EXPECT_EQ(reserved, nullptr);
  return Fails("receive") ? FALSE : TRUE;
}

BOOL WINAPI Query(HINTERNET, LPDWORD available) {
  if (static_cast<int>(g_fake->nextChunk) == g_fake->failQueryAtChunk) {
    ::SetLastError(ERROR_WINHTTP_CONNECTION_ERROR);
    return FALSE;
  }
  const auto& chunks = g_fake->chunks;
  *available = g_fake->nextChunk < chunks.size() ? static_cast<DWORD>(chunks[g_fake->nextChunk].size()) : 0;
  return TRUE;
}

BOOL WINAPI Read(HINTERNET, LPVOID buffer, DWORD size, LPDWORD read) {
  if (size == 0) {
    *read = 0;
    return TRUE;
  }
  const std::size_t index = g_fake->nextChunk++;
  if (static_cast<int>(index) == g_fake->failReadAtChunk) {
    ::SetLastError(ERROR_WINHTTP_CONNECTION_ERROR);
    return FALSE;
  }
  const std::string& chunk = g_fake->chunks.at(index);
  EXPECT_EQ(size, chunk.size());
  chunk.copy(static_cast<char*>(buffer), size);
  *read = static_cast<DWORD>(chunk.size());
  return TRUE;
}

BOOL WINAPI Close(HINTERNET handle) {
  g_fake->closed.push_back(handle);
  return TRUE;
}

}  // namespace

const HINTERNET FakeWinHttp::kRoot = reinterpret_cast<HINTERNET>(0x1001);
const HINTERNET FakeWinHttp::kConnection = reinterpret_cast<HINTERNET>(0x1002);
const HINTERNET FakeWinHttp::kRequest = reinterpret_cast<HINTERNET>(0x1003);

FakeWinHttp::FakeWinHttp()
    : open_(platform::WinHttp().WinHttpOpen, &Open),
      connect_(platform::WinHttp().WinHttpConnect, &Connect),
      request_(platform::WinHttp().WinHttpOpenRequest, &OpenRequest),
      send_(platform::WinHttp().WinHttpSendRequest, &Send),
      receive_(platform::WinHttp().WinHttpReceiveResponse, &Receive),
      query_(platform::WinHttp().WinHttpQueryDataAvailable, &Query),
      read_(platform::WinHttp().WinHttpReadData, &Read),
      close_(platform::WinHttp().WinHttpCloseHandle, &Close) {
  g_fake = this;
}

FakeWinHttp::~FakeWinHttp() { g_fake = nullptr; }

void FakeWinHttp::Serve(const std::string& body) {
  chunks.clear();
  for (std::size_t at = 0; at < body.size(); at += 8192) {
    chunks.push_back(body.substr(at, 8192));
  }
}

}  // namespace testing_support
