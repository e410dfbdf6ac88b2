#include "filesystem/windows_file_manager.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cwchar>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "platform/shell32_api.h"
#include "test_support.h"

namespace {

using platform::ScopedOverride;
using settings::NarrowString;
using testing_support::PathExists;
using testing_support::WriteAllBytes;

constexpr std::uint64_t kUnitsPerSecond = 10000000;
constexpr std::int64_t kMinute = 60;
constexpr std::int64_t kHour = 3600;
constexpr std::int64_t kDay = 86400;

NarrowString Utf8(const std::wstring& text) { return NarrowString(testing_support::Utf8Bytes(text)); }

void WriteFileOfSize(const std::wstring& path, std::size_t size) { WriteAllBytes(path, std::string(size, 'x')); }

// The clock the purge reads, fixed so that ages are exact: 2026-06-01 12:00 UTC.
void WINAPI FixedSystemTime(LPSYSTEMTIME time) {
  *time = SYSTEMTIME{};
  time->wYear = 2026;
  time->wMonth = 6;
  time->wDay = 1;
  time->wHour = 12;
}

std::uint64_t FixedNow() {
  SYSTEMTIME time;
  FixedSystemTime(&time);
  FILETIME fileTime;
  ::SystemTimeToFileTime(&time, &fileTime);
  return (static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
}

std::uint64_t RealNow() {
  FILETIME fileTime;
  ::GetSystemTimeAsFileTime(&fileTime);
  return (static_cast<std::uint64_t>(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
}

// Makes the file's last write lie ageSeconds before now (after it when
// negative).
void SetAge(const std::wstring& path, std::uint64_t now, std::int64_t ageSeconds) {
  const std::uint64_t units = now - static_cast<std::uint64_t>(ageSeconds) * kUnitsPerSecond;
  FILETIME written{static_cast<DWORD>(units & 0xFFFFFFFF), static_cast<DWORD>(units >> 32)};
  const HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(::SetFileTime(file, nullptr, nullptr, &written));
  ::CloseHandle(file);
}

// Holds a file or folder open without letting anyone delete it.
class HeldOpen {
 public:
  HeldOpen(const std::wstring& path, DWORD share)
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {}
  ~HeldOpen() {
    if (handle_ != INVALID_HANDLE_VALUE) {
      ::CloseHandle(handle_);
    }
  }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class FileManager : public ::testing::Test {
 protected:
  std::wstring Path(const std::wstring& relative) const { return scratch_.Child(relative); }
  void File(const std::wstring& relative, std::size_t size = 1) {
    testing_support::CreateFolders(Path(relative).substr(0, Path(relative).rfind(L'\\')));
    WriteFileOfSize(Path(relative), size);
  }
  void Folder(const std::wstring& relative) { testing_support::CreateFolders(Path(relative)); }

  testing_support::ScratchDirectory scratch_;
  ZAZE::WindowsFileManager manager_;
};

// ---------------------------------------------------------------- DeletePath

TEST_F(FileManager, DeletePathRemovesAFileOrAWholeTreeAndAcceptsAMissingPath) {
  File(L"single.txt");
  File(L"tree\\a.txt");
  File(L"tree\\sub\\deeper\\b.txt");
  Folder(L"tree\\empty");
  for (const wchar_t* relative : {L"single.txt", L"tree", L"never-there", L"never\\there\\either"}) {
    EXPECT_TRUE(manager_.DeletePath(Utf8(Path(relative)))) << relative;
    EXPECT_FALSE(PathExists(Path(relative))) << relative;
  }
}

TEST_F(FileManager, DeletePathRefusesWildcards) {
  File(L"a.txt");
  File(L"b.txt");
  EXPECT_FALSE(manager_.DeletePath(Utf8(Path(L"*.txt"))));
  EXPECT_FALSE(manager_.DeletePath(Utf8(Path(L"?.txt"))));
  EXPECT_TRUE(PathExists(Path(L"a.txt")));
  EXPECT_TRUE(PathExists(Path(L"b.txt")));
}

struct ShellCall {
  int calls = 0;
  HWND window = reinterpret_cast<HWND>(1);
  UINT function = 0;
  std::wstring source;  // up to and including the list's second NUL
  bool noDestination = false;
  FILEOP_FLAGS flags = 0;
  int answer = 0;
};
ShellCall g_shell;

int WINAPI RecordingFileOperation(LPSHFILEOPSTRUCTW operation) {
  ++g_shell.calls;
  g_shell.window = operation->hwnd;
  g_shell.function = operation->wFunc;
  const wchar_t* end = operation->pFrom;
  while (end[0] != L'\0' || end[1] != L'\0') {
    ++end;
  }
  g_shell.source.assign(operation->pFrom, end + 2);
  g_shell.noDestination = operation->pTo == nullptr;
  g_shell.flags = operation->fFlags;
  return g_shell.answer;
}

TEST(FileManagerShell, DeletePathAsksTheShellSilentlyAndAcceptsItsNotFoundAnswers) {
  ScopedOverride shell(platform::Shell32().SHFileOperationW, &RecordingFileOperation);
  ZAZE::WindowsFileManager manager;
  const struct {
    int answer;
    bool deleted;
  } cases[] = {{0, true},     {ERROR_FILE_NOT_FOUND, true}, {0x7C, true}, {0x402, true},
               {5, false},    {0x78, false},                {0x7D, false}, {0x10000, false}};
  for (const auto& c : cases) {
    g_shell = ShellCall{};
    g_shell.answer = c.answer;
    EXPECT_EQ(manager.DeletePath("C:\\Data\\Gr\xC3\xBC\xC3\x9F" "e"), c.deleted) << c.answer;
    EXPECT_EQ(g_shell.calls, 1);
    EXPECT_EQ(g_shell.window, nullptr);
    EXPECT_EQ(g_shell.function, static_cast<UINT>(FO_DELETE));
    EXPECT_EQ(g_shell.source, std::wstring(L"C:\\Data\\Gr\u00FC\u00DFe\0\0", 15));
    EXPECT_TRUE(g_shell.noDestination);
    EXPECT_EQ(g_shell.flags, 0x0414);
  }
}

// ------------------------------------------------------------ PurgeDirectory

TEST_F(FileManager, PurgeWithAWideWindowDeletesEverythingInThePastAndTheTreeWithIt) {
  const std::uint64_t now = RealNow();
  File(L"cache\\recent.bin");
  SetAge(Path(L"cache\\recent.bin"), now, 1);
  File(L"cache\\sub\\day-old.bin");
  SetAge(Path(L"cache\\sub\\day-old.bin"), now, kDay);
  File(L"cache\\sub\\deeper\\year-old.bin");
  SetAge(Path(L"cache\\sub\\deeper\\year-old.bin"), now, 400 * kDay);
  Folder(L"cache\\empty\\emptier");
  const std::uint64_t hundredYears = 100ull * 366 * kDay;
  EXPECT_TRUE(manager_.PurgeDirectory(Utf8(Path(L"cache")), 0, hundredYears));
  EXPECT_FALSE(PathExists(Path(L"cache")));
}

TEST_F(FileManager, PurgeKeepsAFileYoungerThanTheMinimumAndItsFolder) {
  File(L"cache\\fresh.bin");
  EXPECT_TRUE(manager_.PurgeDirectory(Utf8(Path(L"cache")), kHour, 100 * kDay));
  EXPECT_TRUE(PathExists(Path(L"cache\\fresh.bin")));
}

TEST_F(FileManager, PurgeOfAMissingPathFails) {
  EXPECT_FALSE(manager_.PurgeDirectory(Utf8(Path(L"missing")), 0, kDay));
  EXPECT_FALSE(manager_.PurgeDirectory(Utf8(Path(L"missing\\deeper")), 0, kDay));
}

// Ages against a fixed clock, so the bounds are met exactly: both are
// exclusive, and the maximum's product with 10,000,000 wraps modulo 2^64.
TEST_F(FileManager, PurgeDeletesExactlyTheFilesStrictlyInsideTheWindow) {
  ScopedOverride clock(platform::Kernel32().GetSystemTime, &FixedSystemTime);
  const std::vector<std::pair<std::wstring, std::int64_t>> files = {
      {L"minute.bin", kMinute}, {L"sub\\hour.bin", kHour}, {L"sub\\deeper\\day.bin", kDay}, {L"future.bin", -kHour}};
  const struct {
    std::uint64_t minAge;
    std::uint64_t maxAge;
    std::set<std::wstring> kept;
  } cases[] = {
      {kHour, kDay, {L"minute.bin", L"sub\\hour.bin", L"sub\\deeper\\day.bin", L"future.bin"}},
      {kHour - 1, kDay + 1, {L"minute.bin", L"future.bin"}},
      {0, kMinute + 1, {L"sub\\hour.bin", L"sub\\deeper\\day.bin", L"future.bin"}},
      {kMinute, kHour, {L"minute.bin", L"sub\\hour.bin", L"sub\\deeper\\day.bin", L"future.bin"}},
      {0, 10 * kDay, {L"future.bin"}},
      // (2^64 - 1) * 10^7 is 2^64 - 10^7 modulo 2^64: even the file an hour
      // ahead, whose age wrapped to 2^64 - 3600 * 10^7, lies below it.
      {0, std::numeric_limits<std::uint64_t>::max(), {}},
  };
  for (const auto& c : cases) {
    testing_support::RemoveTree(Path(L"cache"));
    for (const auto& [name, age] : files) {
      File(L"cache\\" + name);
      SetAge(Path(L"cache\\" + name), FixedNow(), age);
    }
    EXPECT_TRUE(manager_.PurgeDirectory(Utf8(Path(L"cache")), c.minAge, c.maxAge)) << c.minAge << ".." << c.maxAge;
    for (const auto& [name, age] : files) {
      EXPECT_EQ(PathExists(Path(L"cache\\" + name)), c.kept.count(name) == 1)
          << c.minAge << ".." << c.maxAge << " " << testing_support::Utf8Bytes(name);
    }
    // Folders go exactly when nothing below them stayed.
    const bool deeperKept = c.kept.count(L"sub\\deeper\\day.bin") == 1;
    EXPECT_EQ(PathExists(Path(L"cache\\sub\\deeper")), deeperKept);
    EXPECT_EQ(PathExists(Path(L"cache\\sub")), deeperKept || c.kept.count(L"sub\\hour.bin") == 1);
    EXPECT_EQ(PathExists(Path(L"cache")), !c.kept.empty());
  }
}

TEST_F(FileManager, PurgeLeavesAFileItCannotDeleteAndRemovesWhatElseEmptied) {
  const std::uint64_t now = RealNow();
  File(L"cache\\busy\\held.bin");
  SetAge(Path(L"cache\\busy\\held.bin"), now, kDay);
  File(L"cache\\idle\\old.bin");
  SetAge(Path(L"cache\\idle\\old.bin"), now, kDay);
  Folder(L"cache\\idle\\empty");
  HeldOpen held(Path(L"cache\\busy\\held.bin"), FILE_SHARE_READ);
  ASSERT_TRUE(held.held());
  EXPECT_TRUE(manager_.PurgeDirectory(Utf8(Path(L"cache")), 0, 10 * kDay));
  EXPECT_TRUE(PathExists(Path(L"cache\\busy\\held.bin")));
  EXPECT_FALSE(PathExists(Path(L"cache\\idle")));
}

TEST_F(FileManager, PurgeFailsWhenTheEmptiedPathCannotBeRemoved) {
  File(L"cache\\sub\\old.bin");
  SetAge(Path(L"cache\\sub\\old.bin"), RealNow(), kDay);
  HeldOpen held(Path(L"cache"), FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(held.held());
  EXPECT_FALSE(manager_.PurgeDirectory(Utf8(Path(L"cache")), 0, 10 * kDay));
  EXPECT_FALSE(PathExists(Path(L"cache\\sub")));
  EXPECT_TRUE(PathExists(Path(L"cache")));
}

void WINAPI InvalidSystemTime(LPSYSTEMTIME time) {
  FixedSystemTime(time);
  time->wMonth = 13;
}

TEST_F(FileManager, PurgeFailsAndDeletesNothingWithoutTheTime) {
  ScopedOverride clock(platform::Kernel32().GetSystemTime, &InvalidSystemTime);
  File(L"cache\\old.bin");
  SetAge(Path(L"cache\\old.bin"), RealNow(), kDay);
  EXPECT_FALSE(manager_.PurgeDirectory(Utf8(Path(L"cache")), 0, 10 * kDay));
  EXPECT_TRUE(PathExists(Path(L"cache\\old.bin")));
}

// Wine reports no junctions, so the real listing is used and entries named
// "linked" are given the attribute a junction or folder link has on Windows.
void MarkLinked(LPWIN32_FIND_DATAW entry) {
  if (std::wstring(entry->cFileName) == L"linked") {
    entry->dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  }
}
HANDLE WINAPI FindFirstWithLinks(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
  const HANDLE found = ::FindFirstFileW(pattern, entry);
  if (found != INVALID_HANDLE_VALUE) {
    MarkLinked(entry);
  }
  return found;
}
BOOL WINAPI FindNextWithLinks(HANDLE listing, LPWIN32_FIND_DATAW entry) {
  const BOOL found = ::FindNextFileW(listing, entry);
  if (found) {
    MarkLinked(entry);
  }
  return found;
}

TEST_F(FileManager, LinkedFoldersAreNeitherPurgedNorSized) {
  ScopedOverride first(platform::Kernel32().FindFirstFileW, &FindFirstWithLinks);
  ScopedOverride next(platform::Kernel32().FindNextFileW, &FindNextWithLinks);
  const std::uint64_t now = RealNow();
  File(L"cache\\old.bin", 7);
  SetAge(Path(L"cache\\old.bin"), now, kDay);
  File(L"cache\\linked\\elsewhere.bin", 1000);
  SetAge(Path(L"cache\\linked\\elsewhere.bin"), now, kDay);
  EXPECT_EQ(manager_.GetPathSize(Utf8(Path(L"cache"))), 7u);
  EXPECT_TRUE(manager_.PurgeDirectory(Utf8(Path(L"cache")), 0, 10 * kDay));
  EXPECT_FALSE(PathExists(Path(L"cache\\old.bin")));
  EXPECT_TRUE(PathExists(Path(L"cache\\linked\\elsewhere.bin")));
  // Named by the caller itself, a linked folder is followed.
  EXPECT_EQ(manager_.GetPathSize(Utf8(Path(L"cache\\linked"))), 1000u);
}

// A tree far deeper than a walk by recursion would survive on the thread's
// stack. Making one for real under Wine takes minutes (every level is a
// longer path to resolve), so the file functions answer for a made-up tree:
// "V:" + "\\d" * kDeepLevels, with one file "leaf.bin" at the bottom.
constexpr int kDeepLevels = 6000;

struct DeepTree {
  int deletedFiles = 0;
  int removedFolders = 0;
  int openListings = 0;
};
DeepTree g_deep;

struct FakeListing {
  std::vector<WIN32_FIND_DATAW> entries;
  std::size_t next = 0;
};

WIN32_FIND_DATAW Entry(const wchar_t* name, DWORD attributes) {
  WIN32_FIND_DATAW entry{};
  entry.dwFileAttributes = attributes;
  std::wcscpy(entry.cFileName, name);
  const std::uint64_t written = FixedNow() - kDay * kUnitsPerSecond;
  entry.ftLastWriteTime = FILETIME{static_cast<DWORD>(written & 0xFFFFFFFF), static_cast<DWORD>(written >> 32)};
  return entry;
}

HANDLE WINAPI DeepFindFirst(LPCWSTR pattern, LPWIN32_FIND_DATAW entry) {
  const std::wstring folder = std::wstring(pattern).substr(0, std::wcslen(pattern) - 2);
  const auto depth = static_cast<int>((folder.size() - 2) / 2);
  auto* listing = new FakeListing;
  listing->entries = {Entry(L".", FILE_ATTRIBUTE_DIRECTORY), Entry(L"..", FILE_ATTRIBUTE_DIRECTORY),
                      depth < kDeepLevels ? Entry(L"d", FILE_ATTRIBUTE_DIRECTORY)
                                          : Entry(L"leaf.bin", FILE_ATTRIBUTE_NORMAL)};
  *entry = listing->entries[listing->next++];
  ++g_deep.openListings;
  return reinterpret_cast<HANDLE>(listing);
}
BOOL WINAPI DeepFindNext(HANDLE handle, LPWIN32_FIND_DATAW entry) {
  auto* listing = reinterpret_cast<FakeListing*>(handle);
  if (listing->next == listing->entries.size()) {
    ::SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *entry = listing->entries[listing->next++];
  return TRUE;
}
BOOL WINAPI DeepFindClose(HANDLE handle) {
  delete reinterpret_cast<FakeListing*>(handle);
  --g_deep.openListings;
  return TRUE;
}
bool IsLeaf(LPCWSTR path) {
  const std::size_t length = std::wcslen(path);
  return length > 8 && std::wcscmp(path + length - 8, L"leaf.bin") == 0;
}
DWORD WINAPI DeepAttributes(LPCWSTR path) { return IsLeaf(path) ? FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_DIRECTORY; }
HANDLE WINAPI DeepOpen(LPCWSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  return IsLeaf(path) ? reinterpret_cast<HANDLE>(0x1234) : INVALID_HANDLE_VALUE;
}
BOOL WINAPI DeepSize(HANDLE, PLARGE_INTEGER size) {
  size->QuadPart = 3;
  return TRUE;
}
BOOL WINAPI DeepClose(HANDLE) { return TRUE; }
BOOL WINAPI DeepDeleteFile(LPCWSTR path) {
  g_deep.deletedFiles += IsLeaf(path) ? 1 : 0;
  return TRUE;
}
BOOL WINAPI DeepRemoveDirectory(LPCWSTR) {
  ++g_deep.removedFolders;
  return TRUE;
}

TEST(FileManagerDeepTree, ATreeDeeperThanTheStackAllowsIsSizedAndPurged) {
  auto& kernel = platform::Kernel32();
  ScopedOverride clock(kernel.GetSystemTime, &FixedSystemTime);
  ScopedOverride first(kernel.FindFirstFileW, &DeepFindFirst);
  ScopedOverride next(kernel.FindNextFileW, &DeepFindNext);
  ScopedOverride close(kernel.FindClose, &DeepFindClose);
  ScopedOverride attributes(kernel.GetFileAttributesW, &DeepAttributes);
  ScopedOverride open(kernel.CreateFileW, &DeepOpen);
  ScopedOverride size(kernel.GetFileSizeEx, &DeepSize);
  ScopedOverride closeFile(kernel.CloseHandle, &DeepClose);
  ScopedOverride deleteFile(kernel.DeleteFileW, &DeepDeleteFile);
  ScopedOverride removeFolder(kernel.RemoveDirectoryW, &DeepRemoveDirectory);
  ZAZE::WindowsFileManager manager;
  g_deep = DeepTree{};

  EXPECT_EQ(manager.GetPathSize("V:"), 3u);
  EXPECT_EQ(g_deep.openListings, 0);
  EXPECT_TRUE(manager.PurgeDirectory("V:", 0, 10 * kDay));
  EXPECT_EQ(g_deep.deletedFiles, 1);
  EXPECT_EQ(g_deep.removedFolders, kDeepLevels + 1);  // every level, then the top itself
  EXPECT_EQ(g_deep.openListings, 0);
}

// --------------------------------------------------------------- GetPathSize

TEST_F(FileManager, PathSizeIsTheSumOfAllFilesBelow) {
  File(L"tree\\ten.bin", 10);
  File(L"tree\\twenty.bin", 20);
  File(L"tree\\sub\\five.bin", 5);
  Folder(L"tree\\empty");
  EXPECT_EQ(manager_.GetPathSize(Utf8(Path(L"tree"))), 35u);
  EXPECT_EQ(manager_.GetPathSize(Utf8(Path(L"tree\\twenty.bin"))), 20u);
  EXPECT_EQ(manager_.GetPathSize(Utf8(Path(L"tree\\empty"))), 0u);
  EXPECT_EQ(manager_.GetPathSize(Utf8(Path(L"missing"))), 0u);
}

TEST_F(FileManager, AFileThatCannotBeOpenedCountsZero) {
  File(L"tree\\ten.bin", 10);
  File(L"tree\\locked.bin", 20);
  HeldOpen locked(Path(L"tree\\locked.bin"), 0);
  ASSERT_TRUE(locked.held());
  EXPECT_EQ(manager_.GetPathSize(Utf8(Path(L"tree"))), 10u);
}

// -------------------------------------------------------- CreateSubdirectory

TEST_F(FileManager, CreateSubdirectoryMakesEveryMissingParent) {
  EXPECT_TRUE(manager_.CreateSubdirectory(Utf8(Path(L"a\\b\\c")), "d"));
  EXPECT_TRUE(PathExists(Path(L"a\\b\\c\\d")));
  EXPECT_TRUE(manager_.CreateSubdirectory(Utf8(Path(L"a\\b\\c")), "d")) << "an existing folder is fine";
  EXPECT_TRUE(manager_.CreateSubdirectory(Utf8(Path(L"a")), "\xC3\xA9t\xC3\xA9"));
  EXPECT_TRUE(PathExists(Path(L"a\\\u00E9t\u00E9")));
}

TEST_F(FileManager, CreateSubdirectoryFailsWhereAFileIsInTheWay) {
  File(L"a\\taken");
  EXPECT_FALSE(manager_.CreateSubdirectory(Utf8(Path(L"a")), "taken"));
  EXPECT_FALSE(manager_.CreateSubdirectory(Utf8(Path(L"a\\taken\\below")), "d"));
  EXPECT_FALSE(PathExists(Path(L"a\\taken\\below")));
}

// ------------------------------------------------------------- ListDirectory

std::vector<std::string> Names(const ZAZE::StringVector& list) {
  std::vector<std::string> names;
  for (std::uint32_t i = 0; i < list.Count(); ++i) {
    names.push_back(list.At(i).str());
  }
  return names;
}

TEST_F(FileManager, ListDirectoryGivesNamesBeforeNumbersWithoutDotEntries) {
  // Wine's folders ignore case, so the capital differs from the other names.
  for (const wchar_t* name : {L"b", L"a", L"10", L"9", L"C", L"-x", L".hidden", L"\u00E9.txt"}) {
    File(std::wstring(L"list\\") + name);
  }
  Folder(L"list\\sub");
  Folder(L"list\\007");
  const auto list = manager_.ListDirectory(Utf8(Path(L"list")));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Names(*list), (std::vector<std::string>{"-x", ".hidden", "C", "a", "b", "sub", "\xC3\xA9.txt", "007",
                                                    "9", "10"}));
}

TEST_F(FileManager, ListDirectoryOfAMissingOrEmptyFolderIsAnEmptyList) {
  Folder(L"empty");
  for (const wchar_t* relative : {L"empty", L"missing"}) {
    const auto list = manager_.ListDirectory(Utf8(Path(relative)));
    ASSERT_NE(list, nullptr) << relative;
    EXPECT_EQ(list->Count(), 0u) << relative;
  }
}

TEST_F(FileManager, ListDirectoryHoldsEveryNameOfALargerFolder) {
  std::vector<std::string> expected;
  for (int i = 1; i <= 25; ++i) {
    File(L"list\\" + std::to_wstring(i));
    expected.push_back(std::to_string(i));
  }
  const auto list = manager_.ListDirectory(Utf8(Path(L"list")));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Names(*list), expected);
  EXPECT_EQ(list->Capacity(), 40u);
}

// ----------------------------------------------------------- Folder getters

std::wstring g_fakeAppData;

HRESULT WINAPI FakeAppData(HWND window, int folder, HANDLE token, DWORD flags, LPWSTR path) {
  if (window != nullptr || folder != CSIDL_APPDATA || token != nullptr || flags != SHGFP_TYPE_CURRENT) {
    return E_INVALIDARG;
  }
  if (g_fakeAppData.empty()) {
    return E_FAIL;
  }
  g_fakeAppData.copy(path, MAX_PATH - 1);
  path[g_fakeAppData.size()] = L'\0';
  return S_OK;
}

std::wstring RealAppData() {
  wchar_t folder[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  return folder;
}

// The getters' strings are process-wide and every test case runs in a
// process of its own; this is the only case that asks for them.
TEST(FileManagerFolders, AFailedLookupIsTriedAgainAndTheFirstAnswerIsKept) {
  ZAZE::WindowsFileManager manager;
  EXPECT_EQ(manager.GetPathSeparator().str(), "\\");

  // The shell does not know the folder: nothing is made up, nothing kept.
  g_fakeAppData.clear();
  {
    ScopedOverride shell(platform::Shell32().SHGetFolderPathW, &FakeAppData);
    EXPECT_EQ(manager.GetAssetCacheFolder().str(), "");
    EXPECT_EQ(manager.GetPlayerDataFolder().str(), "");
    EXPECT_EQ(manager.GetPrivateDataFolder().str(), "");

    // A folder of 259 characters: the suffix is appended whole, not cut at 260.
    g_fakeAppData = L"C:\\" + std::wstring(256, L'x');
    EXPECT_EQ(manager.GetAssetCacheFolder(), Utf8(g_fakeAppData + L"\\Orvane\\Nimbra Player\\AssetCache"));
  }
  const std::wstring appData = RealAppData();
  ASSERT_FALSE(appData.empty());
  EXPECT_EQ(manager.GetPlayerDataFolder(), Utf8(appData + L"\\Stelvan\\Nimbra Player"));
  EXPECT_EQ(manager.GetPrivateDataFolder(), Utf8(appData + L"\\Orvane\\Nimbra Player\\QTSPrivateData2"));

  // Kept for the process, whatever the shell says later.
  g_fakeAppData.clear();
  ScopedOverride shell(platform::Shell32().SHGetFolderPathW, &FakeAppData);
  EXPECT_EQ(manager.GetAssetCacheFolder(), Utf8(L"C:\\" + std::wstring(256, L'x') +
                                                L"\\Orvane\\Nimbra Player\\AssetCache"));
  EXPECT_EQ(manager.GetPlayerDataFolder(), Utf8(appData + L"\\Stelvan\\Nimbra Player"));
  EXPECT_EQ(&ZAZE::WindowsFileManager().GetPrivateDataFolder(), &manager.GetPrivateDataFolder());
}

}  // namespace
