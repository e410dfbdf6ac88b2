#include "update/manifest_fetch.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "logging/log.h"
#include "platform/scoped_override.h"
#include "platform/winhttp_api.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

using platform::ScopedOverride;
using platform::WinHttp;
using Messages = std::vector<std::wstring>;

// A scripted WinHTTP: fake handles, the chunks of the body, which step fails,
// and a record of the calls.
const HINTERNET kRoot = reinterpret_cast<HINTERNET>(0x1001);
const HINTERNET kConnection = reinterpret_cast<HINTERNET>(0x1002);
const HINTERNET kRequest = reinterpret_cast<HINTERNET>(0x1003);
constexpr DWORD kError = ERROR_WINHTTP_CANNOT_CONNECT;  // 12029

struct Script {
  std::string failAt;              // "open", "connect", "request", "send", "receive"
  std::vector<std::string> chunks; // body, chunk by chunk
  int failQueryAtChunk = -1;
  int failReadAtChunk = -1;
  std::size_t nextChunk = 0;
  std::wstring agent, host, verb, path;
  DWORD accessType = 0, flags = 0;
  INTERNET_PORT port = 0;
  std::vector<HINTERNET> closed;
};
Script g;

HINTERNET WINAPI FakeOpen(LPCWSTR agent, DWORD access, LPCWSTR proxy, LPCWSTR bypass, DWORD flags) {
  g.agent = agent;
  g.accessType = access;
  EXPECT_EQ(proxy, nullptr);  // WINHTTP_NO_PROXY_NAME
  EXPECT_EQ(bypass, nullptr);  // WINHTTP_NO_PROXY_BYPASS
  EXPECT_EQ(flags, 0u);
  if (g.failAt == "open") {
    ::SetLastError(kError);
    return nullptr;
  }
  return kRoot;
}
HINTERNET WINAPI FakeConnect(HINTERNET root, LPCWSTR host, INTERNET_PORT port, DWORD) {
  EXPECT_EQ(root, kRoot);
  g.host = host;
  g.port = port;
  if (g.failAt == "connect") {
    ::SetLastError(kError);
    return nullptr;
  }
  return kConnection;
}
HINTERNET WINAPI FakeOpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR path, LPCWSTR version,
                                 LPCWSTR referrer, LPCWSTR* accept, DWORD flags) {
  EXPECT_EQ(connection, kConnection);
  EXPECT_EQ(version, nullptr);
  EXPECT_EQ(referrer, nullptr);  // WINHTTP_NO_REFERER
  EXPECT_EQ(accept, nullptr);  // WINHTTP_DEFAULT_ACCEPT_TYPES
  g.verb = verb;
  g.path = path;
  g.flags = flags;
  if (g.failAt == "request") {
    ::SetLastError(kError);
    return nullptr;
  }
  return kRequest;
}
BOOL WINAPI FakeSend(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID data,
                     DWORD dataLength, DWORD totalLength, DWORD_PTR context) {
  EXPECT_EQ(request, kRequest);
  EXPECT_EQ(headers, nullptr);  // WINHTTP_NO_ADDITIONAL_HEADERS
  EXPECT_EQ(headersLength + dataLength + totalLength, 0u);
  EXPECT_EQ(data, nullptr);  // WINHTTP_NO_REQUEST_DATA
  EXPECT_EQ(context, 0u);
  if (g.failAt == "send") {
    ::SetLastError(kError);
    return FALSE;
  }
  return TRUE;
}
BOOL WINAPI FakeReceive(HINTERNET request, LPVOID reserved) {
  EXPECT_EQ(request, kRequest);
  EXPECT_EQ(reserved, nullptr);
  if (g.failAt == "receive") {
    ::SetLastError(ERROR_WINHTTP_SECURE_FAILURE);
    return FALSE;
  }
  return TRUE;
}
BOOL WINAPI FakeQuery(HINTERNET, LPDWORD available) {
  if (static_cast<int>(g.nextChunk) == g.failQueryAtChunk) {
    ::SetLastError(ERROR_WINHTTP_CONNECTION_ERROR);
    return FALSE;
  }
  *available = g.nextChunk < g.chunks.size() ? static_cast<DWORD>(g.chunks[g.nextChunk].size()) : 0;
  return TRUE;
}
BOOL WINAPI FakeRead(HINTERNET, LPVOID buffer, DWORD size, LPDWORD read) {
  if (size == 0) {  // after a failed query: nothing to read
    *read = 0;
    return TRUE;
  }
  const std::size_t index = g.nextChunk++;
  if (static_cast<int>(index) == g.failReadAtChunk) {
    ::SetLastError(ERROR_WINHTTP_CONNECTION_ERROR);
    return FALSE;
  }
  const std::string chunk = index < g.chunks.size() ? g.chunks[index] : std::string();
  EXPECT_EQ(size, chunk.size());
  chunk.copy(static_cast<char*>(buffer), size);
  *read = static_cast<DWORD>(chunk.size());
  return TRUE;
}
BOOL WINAPI FakeClose(HINTERNET handle) {
  g.closed.push_back(handle);
  return TRUE;
}

const std::string kManifest =
    "<version><ActiveX major=\"11\" minor=\"2\" buildMajor=\"202\" buildMinor=\"7\"/>"
    "<Plugin major=\"11\" minor=\"3\" buildMajor=\"1\" buildMinor=\"8\"/>"
    "<SAUConfig checkFrequency=\"3\"/></version>";

class ManifestFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    g = Script{};
    testing_support::ResetSettings();
    logging::VerboseLogging = true;  // the fetch's codes are warnings
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override { testing_support::ResetSettings(); }

  bool Fetch() { return update::FetchVersionManifest(activeX_, plugin_, config_); }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  ScopedOverride<decltype(&::WinHttpOpen)> open_{WinHttp().WinHttpOpen, &FakeOpen};
  ScopedOverride<decltype(&::WinHttpConnect)> connect_{WinHttp().WinHttpConnect, &FakeConnect};
  ScopedOverride<decltype(&::WinHttpOpenRequest)> request_{WinHttp().WinHttpOpenRequest, &FakeOpenRequest};
  ScopedOverride<decltype(&::WinHttpSendRequest)> send_{WinHttp().WinHttpSendRequest, &FakeSend};
  ScopedOverride<decltype(&::WinHttpReceiveResponse)> receive_{WinHttp().WinHttpReceiveResponse,
                                                               &FakeReceive};
  ScopedOverride<decltype(&::WinHttpQueryDataAvailable)> query_{WinHttp().WinHttpQueryDataAvailable,
                                                                &FakeQuery};
  ScopedOverride<decltype(&::WinHttpReadData)> read_{WinHttp().WinHttpReadData, &FakeRead};
  ScopedOverride<decltype(&::WinHttpCloseHandle)> close_{WinHttp().WinHttpCloseHandle, &FakeClose};
  std::unique_ptr<update::ComponentVersion> activeX_;
  std::unique_ptr<update::ComponentVersion> plugin_;
  std::unique_ptr<update::SAUConfig> config_;
};

TEST_F(ManifestFetch, RequestsTheManifestOverTlsFromTheManifestHost) {
  settings::ManifestHost = L"mirror.example.test";
  g.chunks = {kManifest.substr(0, 40), kManifest.substr(40)};
  ASSERT_TRUE(Fetch());
  EXPECT_EQ(g.agent, L"Get Nimbra Player version xml/1.0");
  EXPECT_EQ(g.accessType, static_cast<DWORD>(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY));
  EXPECT_EQ(g.host, L"mirror.example.test");
  EXPECT_EQ(g.port, 443);
  EXPECT_EQ(g.verb, L"GET");
  EXPECT_EQ(g.path, L"/pub/nimbraplayer/update/current/sau/11/xml/version.xml");
  EXPECT_EQ(g.flags, static_cast<DWORD>(WINHTTP_FLAG_SECURE));
  EXPECT_EQ(g.closed, (std::vector<HINTERNET>{kRequest, kConnection, kRoot}));
  ASSERT_NE(activeX_, nullptr);
  EXPECT_EQ(activeX_->version.buildMajor, 202u);
  EXPECT_EQ(plugin_->version.minor, 3u);
  EXPECT_EQ(config_->checkFrequency, 3u);
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{});
}

TEST_F(ManifestFetch, EachEarlyFailureLogsEveryLaterCodeAndClosesWhatWasOpened) {
  struct Case {
    const char* failAt;
    Messages log;
    std::vector<HINTERNET> closed;
  };
  const Case cases[] = {
      {"open",
       {L"[warning] 1400 12029", L"[warning] 1401 12029", L"[warning] 1402 12029",
        L"[warning] 1403 12029", L"[warning] 1407 12029", L"[warning] 1408"},
       {}},
      {"connect",
       {L"[warning] 1401 12029", L"[warning] 1402 12029", L"[warning] 1403 12029",
        L"[warning] 1407 12029", L"[warning] 1408"},
       {kRoot}},
      {"request",
       {L"[warning] 1402 12029", L"[warning] 1403 12029", L"[warning] 1407 12029", L"[warning] 1408"},
       {kConnection, kRoot}},
      {"send",
       {L"[warning] 1403 12029", L"[warning] 1407 12029", L"[warning] 1408"},
       {kRequest, kConnection, kRoot}},
      {"receive", {L"[warning] 1407 12175", L"[warning] 1408"}, {kRequest, kConnection, kRoot}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    testing_support::RemoveTree(testing_support::LogFilePath());
    g = Script{};
    g.failAt = c.failAt;
    g.chunks = {kManifest};
    auto kept = std::make_unique<update::ComponentVersion>();
    update::ComponentVersion* const before = kept.get();
    activeX_ = std::move(kept);
    EXPECT_FALSE(Fetch());
    EXPECT_EQ(activeX_.get(), before);  // untouched on failure
    EXPECT_EQ(plugin_, nullptr);
    EXPECT_EQ(testing_support::LoggedMessages(), c.log);
    EXPECT_EQ(g.closed, c.closed);
  }
}

TEST_F(ManifestFetch, ZeroByteCutsOnlyTheRestOfItsChunk) {
  const std::string cut = kManifest.substr(0, 20) + std::string("\0garbage", 8);
  g.chunks = {cut, kManifest.substr(20)};
  EXPECT_TRUE(Fetch());
}

TEST_F(ManifestFetch, FailureInTheMiddleOfTheBodyParsesWhatArrived) {
  g.chunks = {kManifest.substr(0, 50), kManifest.substr(50)};
  g.failQueryAtChunk = 1;
  EXPECT_FALSE(Fetch());
  EXPECT_EQ(testing_support::LoggedMessages(),
            (Messages{L"[warning] 1404 12030", L"[warning] 1410", L"[warning] 1409"}));

  testing_support::RemoveTree(testing_support::LogFilePath());
  g = Script{};
  g.chunks = {kManifest.substr(0, 50), kManifest.substr(50)};
  g.failReadAtChunk = 1;  // that chunk is lost, reading goes on
  EXPECT_FALSE(Fetch());
  EXPECT_EQ(testing_support::LoggedMessages(),
            (Messages{L"[warning] 1406 12030", L"[warning] 1410", L"[warning] 1409"}));
}

TEST_F(ManifestFetch, AnyBodyIsParsedWhateverTheStatus) {
  g.chunks = {"<html><body><h1>404 Not Found</h1></body></html>"};
  EXPECT_FALSE(Fetch());
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[warning] 1409"});  // well-formed: no 1410

  testing_support::RemoveTree(testing_support::LogFilePath());
  g = Script{};  // an empty body
  EXPECT_FALSE(Fetch());
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[warning] 1409"});
}

}  // namespace
