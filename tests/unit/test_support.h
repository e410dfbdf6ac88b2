#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the temporary path that is the current directory for
// the test's lifetime; removed with everything in it afterwards.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring Child(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
  std::wstring previousDirectory_;
};

bool PathExists(const std::wstring& path);
void CreateFolders(const std::wstring& path);  // every missing folder of the path
void RemoveTree(const std::wstring& path);

// Whole file contents, read with full sharing so open writers do not matter.
// Empty when the file cannot be opened.
std::string ReadAllBytes(const std::wstring& path);
void WriteAllBytes(const std::wstring& path, const std::string& bytes);

// The bytes of a text as the log file holds it (UTF-16LE) and as redirected
// standard output gets it (UTF-8).
std::string Utf16LeBytes(const std::wstring& text);
std::string Utf8Bytes(const std::wstring& text);

// Standard output replaced by a file for the lifetime of the object, through
// the platform table, so the console copy of log lines can be read back.
class CapturedConsole {
 public:
  CapturedConsole();
  ~CapturedConsole();
  CapturedConsole(const CapturedConsole&) = delete;
  CapturedConsole& operator=(const CapturedConsole&) = delete;

  std::string Bytes() const;

 private:
  std::wstring path_;
  decltype(&::GetStdHandle) savedGetStdHandle_;
};

// GetTempPathW answers the given folder (ending in a backslash), as Windows
// does, for the lifetime of the object; Set changes the answer.
class ScopedTempPath {
 public:
  explicit ScopedTempPath(const std::wstring& folder);
  ~ScopedTempPath();
  ScopedTempPath(const ScopedTempPath&) = delete;
  ScopedTempPath& operator=(const ScopedTempPath&) = delete;

  void Set(const std::wstring& folder);
  const std::wstring& folder() const;

 private:
  decltype(&::GetTempPathW) savedGetTempPathW_;
};

// The log file below the current directory.
std::wstring LogFilePath();

// The log file's lines without their timestamps: "[level] message".
std::vector<std::wstring> LoggedMessages();

// The system folder as the shell reports it, and the configuration file and
// its folder below it.
std::wstring SystemFolder();
std::wstring ConfigFolder();
std::wstring ConfigFile();

// Removes HKLM\SOFTWARE\Stelvan\NimbraPlayer with its values.
void DeleteStateKey();

// A file made by tests/pki/make-test-packages.sh (NIMBRA_TEST_PACKAGES), and
// that folder as a Windows path ending in a backslash.
std::wstring TestPackageFolder();
std::string TestPackage(const std::wstring& name);

// The names in a folder, without "." and "..".
std::vector<std::wstring> ListFolder(const std::wstring& folder);

// Verbose logging off, flags false, hosts built in: a process at start.
void ResetSettings();

}  // namespace testing_support
