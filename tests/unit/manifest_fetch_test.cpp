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
#include "fake_winhttp.h"
#include "test_support.h"

namespace {

using platform::ScopedOverride;
using platform::WinHttp;
using Messages = std::vector<std::wstring>;

using testing_support::FakeWinHttp;
const HINTERNET kRoot = FakeWinHttp::kRoot;
const HINTERNET kConnection = FakeWinHttp::kConnection;
const HINTERNET kRequest = FakeWinHttp::kRequest;

const std::string kManifest =
    "<version><ActiveX major=\"11\" minor=\"2\" buildMajor=\"202\" buildMinor=\"7\"/>"
    "<Plugin major=\"11\" minor=\"3\" buildMajor=\"1\" buildMinor=\"8\"/>"
    "<SAUConfig checkFrequency=\"3\"/></version>";

class ManifestFetch : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetSettings();
    logging::VerboseLogging = true;  // the fetch's codes are warnings
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override { testing_support::ResetSettings(); }

  bool Fetch() { return update::FetchVersionManifest(activeX_, plugin_, config_); }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  FakeWinHttp g;
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
  EXPECT_EQ(g.requestFlags, static_cast<DWORD>(WINHTTP_FLAG_SECURE));
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
      {"receive", {L"[warning] 1407 12029", L"[warning] 1408"}, {kRequest, kConnection, kRoot}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failAt);
    testing_support::RemoveTree(testing_support::LogFilePath());
    g.nextChunk = 0;
    g.closed.clear();
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
  g.nextChunk = 0;
  g.failQueryAtChunk = -1;
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
  g.nextChunk = 0;
  g.chunks.clear();  // an empty body
  EXPECT_FALSE(Fetch());
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[warning] 1409"});
}

}  // namespace
