#include "update/package_download.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fake_winhttp.h"
#include "logging/log.h"
#include "platform/kernel32_api.h"
#include "platform/ole32_api.h"
#include "platform/scoped_override.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

using platform::Kernel32;
using platform::ScopedOverride;
using testing_support::FakeWinHttp;
using testing_support::ListFolder;
using testing_support::LoggedMessages;
using update::PlayerFlavour;
using Messages = std::vector<std::wstring>;

std::vector<std::wstring> g_createdFolders;
BOOL WINAPI RecordingCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES security) {
  g_createdFolders.push_back(path);
  return ::CreateDirectoryW(path, security);
}

// The installer goes to the scratch working directory, the download below
// its "temp" folder; WinHTTP is scripted.
class PackageDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetSettings();
    logging::VerboseLogging = true;
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
    testing_support::CreateFolders(scratch_.Child(L"temp"));
    g_createdFolders.clear();
  }
  void TearDown() override { testing_support::ResetSettings(); }

  std::string Installer() const { return testing_support::ReadAllBytes(scratch_.Child(L"NimbraPlayerInstaller.exe")); }
  bool InstallerExists() const { return testing_support::PathExists(scratch_.Child(L"NimbraPlayerInstaller.exe")); }
  std::vector<std::wstring> TempContents() const { return ListFolder(scratch_.Child(L"temp")); }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  FakeWinHttp http_;
  testing_support::ScopedTempPath temp_{scratch_.Child(L"temp\\")};
  ScopedOverride<decltype(&::CreateDirectoryW)> folders_{Kernel32().CreateDirectoryW,
                                                          &RecordingCreateDirectory};
};

TEST_F(PackageDownload, VerifiedPackageBecomesTheInstallerAndTheCopyIsRemoved) {
  http_.Serve(testing_support::TestPackage(L"development.p7"));
  settings::PackageHost = L"mirror.example.test";
  ASSERT_TRUE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX));
  EXPECT_TRUE(Installer() == testing_support::TestPackage(L"payload.bin"));
  EXPECT_EQ(TempContents(), std::vector<std::wstring>{});
  EXPECT_EQ(LoggedMessages(), Messages{L"[info] 1600"});
  EXPECT_EQ(http_.agent, L"Download Nimbra Player Installer/1.0");
  EXPECT_EQ(http_.accessType, static_cast<DWORD>(WINHTTP_ACCESS_TYPE_DEFAULT_PROXY));
  EXPECT_EQ(http_.host, L"mirror.example.test");
  EXPECT_EQ(http_.port, 80);
  EXPECT_EQ(http_.verb, L"GET");
  EXPECT_EQ(http_.requestFlags, 0u);  // plain HTTP
  EXPECT_EQ(http_.closed, (std::vector<HINTERNET>{FakeWinHttp::kRequest, FakeWinHttp::kConnection,
                                                  FakeWinHttp::kRoot}));
  // A new GUID folder: braces, 38 characters, then the backslash.
  ASSERT_EQ(g_createdFolders.size(), 1u);
  const std::wstring folder = g_createdFolders[0].substr(temp_.folder().size());
  EXPECT_EQ(folder.size(), 39u);
  EXPECT_EQ(folder.front(), L'{');
  EXPECT_EQ(folder.substr(37), L"}\\");
}

TEST_F(PackageDownload, PathFollowsFlavourAndWow64) {
  struct Case {
    PlayerFlavour flavour;
    bool wow64;
    const wchar_t* path;
    const wchar_t* started;
  };
  const Case cases[] = {
      {PlayerFlavour::ActiveX, true, L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_64_ax_sgn.z", L"[info] 1600"},
      {PlayerFlavour::ActiveX, false, L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_ax_sgn.z", L"[info] 1600"},
      {PlayerFlavour::Plugin, true, L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_64_pl_sgn.z", L"[info] 1601"},
      {PlayerFlavour::Plugin, false, L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_pl_sgn.z", L"[info] 1601"},
  };
  for (const Case& c : cases) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    settings::RunningUnderWow64 = c.wow64;
    http_.failAt = "send";
    EXPECT_FALSE(update::DownloadInstallerPackage(c.flavour));
    EXPECT_EQ(http_.path, c.path);
    EXPECT_EQ(LoggedMessages(), (Messages{c.started, L"[error] 1214 12029"}));
  }
}

TEST_F(PackageDownload, UnknownFlavourRequestsNothing) {
  EXPECT_FALSE(update::DownloadInstallerPackage(static_cast<PlayerFlavour>(3)));
  EXPECT_EQ(http_.opened, 0);
  EXPECT_EQ(LoggedMessages(), Messages{L"[error] 1200"});
}

TEST_F(PackageDownload, EachWinHttpStepFailingLogs1214AndClosesWhatWasOpened) {
  const std::pair<const char*, std::vector<HINTERNET>> cases[] = {
      {"open", {}},
      {"connect", {FakeWinHttp::kRoot}},
      {"request", {FakeWinHttp::kConnection, FakeWinHttp::kRoot}},
      {"send", {FakeWinHttp::kRequest, FakeWinHttp::kConnection, FakeWinHttp::kRoot}},
      {"receive", {FakeWinHttp::kRequest, FakeWinHttp::kConnection, FakeWinHttp::kRoot}},
  };
  for (const auto& [step, closed] : cases) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    http_.failAt = step;
    http_.closed.clear();
    EXPECT_FALSE(update::DownloadInstallerPackage(PlayerFlavour::Plugin)) << step;
    EXPECT_EQ(LoggedMessages(), (Messages{L"[info] 1601", L"[error] 1214 12029"})) << step;
    EXPECT_EQ(http_.closed, closed) << step;
  }
  EXPECT_TRUE(g_createdFolders.empty());
}

DWORD WINAPI NoTempPath(DWORD, LPWSTR) {
  ::SetLastError(ERROR_PATH_NOT_FOUND);
  return 0;
}
DWORD WINAPI OverlongTempPath(DWORD, LPWSTR) {
  ::SetLastError(0);
  return 300;
}

TEST_F(PackageDownload, TemporaryPathMissingOrTooLongIs1201) {
  {
    ScopedOverride fail(Kernel32().GetTempPathW, &NoTempPath);
    EXPECT_FALSE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX));
  }
  {
    ScopedOverride fail(Kernel32().GetTempPathW, &OverlongTempPath);
    EXPECT_FALSE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX));
  }
  // Fits in 260 units, but the folder and "\npi.tmp" would not: fails before
  // anything is created.
  temp_.Set(L"C:\\" + std::wstring(215, L't') + L"\\");
  EXPECT_FALSE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX));
  EXPECT_EQ(LoggedMessages(), (Messages{L"[info] 1600", L"[error] 1201 3", L"[info] 1600",
                                        L"[error] 1201 0", L"[info] 1600", L"[error] 1201 206"}));
  EXPECT_TRUE(g_createdFolders.empty());
  EXPECT_EQ(http_.closed.size(), 9u);  // every attempt closed its three handles
}

HRESULT WINAPI NoGuid(GUID*) { return E_FAIL; }
int WINAPI NoGuidText(REFGUID, LPOLESTR, int) { return 0; }

TEST_F(PackageDownload, WithoutAGuidTheFolderIsNamedAfterATemporaryFile) {
  http_.Serve(testing_support::TestPackage(L"development.p7"));
  ScopedOverride noGuid(platform::Ole32().CoCreateGuid, &NoGuid);
  ASSERT_TRUE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX));
  EXPECT_EQ(LoggedMessages(), (Messages{L"[info] 1600", L"[warning] 1426"}));
  ASSERT_EQ(g_createdFolders.size(), 1u);
  const std::wstring folder = g_createdFolders[0].substr(temp_.folder().size());
  EXPECT_EQ(folder.substr(0, 3), L"NPI");
  EXPECT_EQ(folder.substr(folder.size() - 5), L".tmp\\");
  EXPECT_EQ(TempContents(), std::vector<std::wstring>{});  // file deleted, folder removed
  EXPECT_TRUE(InstallerExists());
}

TEST_F(PackageDownload, GuidThatCannotBeTextIs1425Then1426) {
  http_.Serve(testing_support::TestPackage(L"development.p7"));
  ScopedOverride noText(platform::Ole32().StringFromGUID2, &NoGuidText);
  ASSERT_TRUE(update::DownloadInstallerPackage(PlayerFlavour::Plugin));
  EXPECT_EQ(LoggedMessages(), (Messages{L"[info] 1601", L"[warning] 1425", L"[warning] 1426"}));
}

UINT WINAPI NoTempFileName(LPCWSTR, LPCWSTR, UINT, LPWSTR) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return 0;
}
BOOL WINAPI DeleteDenied(LPCWSTR) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI CreateDirectoryDenied(LPCWSTR, LPSECURITY_ATTRIBUTES) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
HANDLE WINAPI CreateFileDenied(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return INVALID_HANDLE_VALUE;
}

TEST_F(PackageDownload, FolderAndFileFailuresHaveTheirOwnCodes) {
  ScopedOverride noGuid(platform::Ole32().CoCreateGuid, &NoGuid);
  const auto run = [&](const char* what) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    EXPECT_FALSE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX)) << what;
    return LoggedMessages();
  };
  {
    ScopedOverride fail(Kernel32().GetTempFileNameW, &NoTempFileName);
    EXPECT_EQ(run("temp name"), (Messages{L"[info] 1600", L"[warning] 1426", L"[error] 1203 5"}));
  }
  {
    ScopedOverride fail(Kernel32().DeleteFileW, &DeleteDenied);
    EXPECT_EQ(run("temp delete"), (Messages{L"[info] 1600", L"[warning] 1426", L"[error] 1205 5"}));
  }
  {
    ScopedOverride fail(Kernel32().CreateDirectoryW, &CreateDirectoryDenied);
    EXPECT_EQ(run("folder"), (Messages{L"[info] 1600", L"[warning] 1426", L"[error] 1206 5"}));
  }
  {
    ScopedOverride fail(Kernel32().CreateFileW, &CreateFileDenied);
    EXPECT_EQ(run("file"), (Messages{L"[info] 1600", L"[warning] 1426", L"[error] 1207 5"}));
  }
  EXPECT_FALSE(InstallerExists());
}

BOOL WINAPI WriteFails(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) {
  ::SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

TEST_F(PackageDownload, FailureWhileCopyingLeavesTheFolderAndThePartialFile) {
  const std::string package = testing_support::TestPackage(L"development.p7");
  struct Case {
    const char* what;
    int failQuery;
    int failRead;
    bool failWrite;
    const wchar_t* code;
  };
  const Case cases[] = {
      {"query", 1, -1, false, L"[error] 1209 12030"},
      {"read", -1, 1, false, L"[error] 1211 12030"},
      {"write", -1, -1, true, L"[error] 1212 112"},
  };
  for (const Case& c : cases) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    testing_support::RemoveTree(scratch_.Child(L"temp"));
    testing_support::CreateFolders(scratch_.Child(L"temp"));
    http_.Serve(package);
    http_.nextChunk = 0;
    http_.failQueryAtChunk = c.failQuery;
    http_.failReadAtChunk = c.failRead;
    http_.closed.clear();
    {
      std::unique_ptr<ScopedOverride<decltype(&::WriteFile)>> write;
      if (c.failWrite) {
        write = std::make_unique<ScopedOverride<decltype(&::WriteFile)>>(Kernel32().WriteFile, &WriteFails);
      }
      EXPECT_FALSE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX)) << c.what;
    }
    EXPECT_EQ(LoggedMessages(), (Messages{L"[info] 1600", c.code})) << c.what;
    EXPECT_EQ(http_.closed.size(), 3u) << c.what;
    const std::vector<std::wstring> left = TempContents();
    ASSERT_EQ(left.size(), 1u) << c.what;  // the private folder, with the partial file
    EXPECT_EQ(ListFolder(scratch_.Child(L"temp\\" + left[0])), std::vector<std::wstring>{L"npi.tmp"});
  }
  EXPECT_FALSE(InstallerExists());
}

BOOL WINAPI DownloadFileLocked(LPCWSTR path) {
  const std::wstring name = path;
  if (name.size() >= 7 && name.substr(name.size() - 7) == L"npi.tmp") {
    ::SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
  }
  return ::DeleteFileW(path);
}

TEST_F(PackageDownload, LockedDownloadFileIsOnlyWarnedAbout) {
  http_.Serve(testing_support::TestPackage(L"development.p7"));
  ScopedOverride locked(Kernel32().DeleteFileW, &DownloadFileLocked);
  ASSERT_TRUE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX));
  EXPECT_EQ(LoggedMessages(), (Messages{L"[info] 1600", L"[warning] 1414 32", L"[warning] 1415 145"}));
  EXPECT_TRUE(Installer() == testing_support::TestPackage(L"payload.bin"));
}

TEST_F(PackageDownload, RejectedOrEmptyBodyWritesNoInstaller) {
  struct Case {
    const char* what;
    std::string body;
    const wchar_t* code;
  };
  const Case cases[] = {
      {"error page", "<html><body><h1>404 Not Found</h1></body></html>", nullptr},
      {"test authority", testing_support::TestPackage(L"direct.p7"), nullptr},
      {"altered", testing_support::TestPackage(L"altered.p7"), L"[error] 1217 -2146893818"},
      {"empty", "", nullptr},
  };
  for (const Case& c : cases) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    http_.Serve(c.body);
    http_.nextChunk = 0;
    EXPECT_FALSE(update::DownloadInstallerPackage(PlayerFlavour::Plugin)) << c.what;
    const Messages log = LoggedMessages();
    ASSERT_EQ(log.size(), 2u) << c.what;
    if (c.code != nullptr) {
      EXPECT_EQ(log[1], c.code) << c.what;
    } else {
      EXPECT_EQ(log[1].rfind(L"[error] 1217 ", 0), 0u) << c.what;
    }
    EXPECT_EQ(TempContents(), std::vector<std::wstring>{}) << c.what;
  }
  EXPECT_FALSE(InstallerExists());
}

// A read-only installer file refuses CREATE_ALWAYS on Windows; Wine run as
// root overwrites it, so the refusal is made here.
HANDLE WINAPI InstallerReadOnly(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD attributes, HANDLE templateFile) {
  if (std::wstring(path) == L"NimbraPlayerInstaller.exe") {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return ::CreateFileW(path, access, share, security, disposition, attributes, templateFile);
}

TEST_F(PackageDownload, ReadOnlyInstallerFileIs1215) {
  testing_support::WriteAllBytes(scratch_.Child(L"NimbraPlayerInstaller.exe"), "old");
  http_.Serve(testing_support::TestPackage(L"development.p7"));
  ScopedOverride readOnly(Kernel32().CreateFileW, &InstallerReadOnly);
  EXPECT_FALSE(update::DownloadInstallerPackage(PlayerFlavour::ActiveX));
  EXPECT_EQ(LoggedMessages(), (Messages{L"[info] 1600", L"[error] 1215 5"}));
  EXPECT_EQ(Installer(), "old");
}

TEST(ReadWholeFile, WholeOrNothing) {
  testing_support::ScratchDirectory scratch;
  std::vector<BYTE> bytes = {9};
  EXPECT_FALSE(update::ReadWholeFile(scratch.Child(L"missing").c_str(), bytes));
  testing_support::WriteAllBytes(scratch.Child(L"empty"), "");
  EXPECT_FALSE(update::ReadWholeFile(scratch.Child(L"empty").c_str(), bytes));
  EXPECT_EQ(bytes, std::vector<BYTE>{9});
  const std::string content(100000, 'x');
  testing_support::WriteAllBytes(scratch.Child(L"full"), content);
  EXPECT_TRUE(update::ReadWholeFile(scratch.Child(L"full").c_str(), bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
}

}  // namespace
