#include "test_support.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "logging/log.h"
#include "platform/kernel32_api.h"
#include "settings/settings.h"

namespace testing_support {
namespace {

HANDLE g_consoleFile = INVALID_HANDLE_VALUE;

HANDLE WINAPI ConsoleFileAsStdHandle(DWORD which) {
  if (which == STD_OUTPUT_HANDLE) {
    return g_consoleFile;
  }
  return ::GetStdHandle(which);
}

std::wstring CurrentDirectory() {
  std::vector<wchar_t> buffer(32768, L'\0');
  const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  return std::wstring(buffer.data(), length);
}

}  // namespace

ScratchDirectory::ScratchDirectory() : previousDirectory_(CurrentDirectory()) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  static unsigned counter = 0;
  path_ = std::wstring(temp) + L"nimbra-unit-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(++counter);
  RemoveTree(path_);
  if (!::CreateDirectoryW(path_.c_str(), nullptr)) {
    throw std::runtime_error("cannot create the scratch folder");
  }
  ::SetCurrentDirectoryW(path_.c_str());
}

ScratchDirectory::~ScratchDirectory() {
  ::SetCurrentDirectoryW(previousDirectory_.c_str());
  RemoveTree(path_);
}

bool PathExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void CreateFolders(const std::wstring& path) {
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == L'\\') {
      const std::wstring prefix = path.substr(0, i);
      if (!prefix.empty() && prefix.back() != L':') {
        ::CreateDirectoryW(prefix.c_str(), nullptr);
      }
    }
  }
}

void RemoveTree(const std::wstring& path) {
  if (!PathExists(path)) {
    return;
  }
  std::wstring from = path;
  from.push_back(L'\0');  // SHFileOperationW takes a double-terminated list
  SHFILEOPSTRUCTW operation{};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  ::SHFileOperationW(&operation);
}

std::string ReadAllBytes(const std::wstring& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {};
  }
  std::string bytes;
  char chunk[4096];
  DWORD read = 0;
  while (::ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) {
    bytes.append(chunk, read);
  }
  ::CloseHandle(file);
  return bytes;
}

void WriteAllBytes(const std::wstring& path, const std::string& bytes) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot write a test file");
  }
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

std::string Utf16LeBytes(const std::wstring& text) {
  std::string bytes;
  for (wchar_t unit : text) {
    const auto value = static_cast<unsigned>(unit);
    bytes.push_back(static_cast<char>(value & 0xFF));
    bytes.push_back(static_cast<char>((value >> 8) & 0xFF));
  }
  return bytes;
}

std::string Utf8Bytes(const std::wstring& text) {
  if (text.empty()) {
    return {};
  }
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
}

CapturedConsole::CapturedConsole()
    : savedGetStdHandle_(platform::Kernel32().GetStdHandle) {
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  static unsigned counter = 0;
  path_ = std::wstring(temp) + L"nimbra-console-" + std::to_wstring(::GetCurrentProcessId()) +
          L"-" + std::to_wstring(++counter) + L".out";
  g_consoleFile = ::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_consoleFile == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot create the console capture file");
  }
  platform::Kernel32().GetStdHandle = &ConsoleFileAsStdHandle;
}

CapturedConsole::~CapturedConsole() {
  platform::Kernel32().GetStdHandle = savedGetStdHandle_;
  ::CloseHandle(g_consoleFile);
  g_consoleFile = INVALID_HANDLE_VALUE;
  ::DeleteFileW(path_.c_str());
}

std::string CapturedConsole::Bytes() const { return ReadAllBytes(path_); }

namespace {
std::wstring g_tempPathAnswer;
DWORD WINAPI AnswerTempPath(DWORD size, LPWSTR buffer) {
  if (g_tempPathAnswer.size() + 1 > size) {
    return static_cast<DWORD>(g_tempPathAnswer.size() + 1);
  }
  g_tempPathAnswer.copy(buffer, g_tempPathAnswer.size());
  buffer[g_tempPathAnswer.size()] = L'\0';
  return static_cast<DWORD>(g_tempPathAnswer.size());
}
}  // namespace

ScopedTempPath::ScopedTempPath(const std::wstring& folder)
    : savedGetTempPathW_(platform::Kernel32().GetTempPathW) {
  g_tempPathAnswer = folder;
  platform::Kernel32().GetTempPathW = &AnswerTempPath;
}

ScopedTempPath::~ScopedTempPath() {
  platform::Kernel32().GetTempPathW = savedGetTempPathW_;
  g_tempPathAnswer.clear();
}

void ScopedTempPath::Set(const std::wstring& folder) { g_tempPathAnswer = folder; }

const std::wstring& ScopedTempPath::folder() const { return g_tempPathAnswer; }

std::wstring LogFilePath() { return logging::kLogFilePath; }

std::vector<std::wstring> LoggedMessages() {
  const std::string bytes = ReadAllBytes(LogFilePath());
  std::wstring text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                        (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  std::vector<std::wstring> messages;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    const std::wstring line = text.substr(start, end - start);
    messages.push_back(line.substr(line.find(L' ') + 1));
  }
  return messages;
}

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  ::SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT, folder);
  return folder;
}

std::wstring ConfigFolder() { return SystemFolder() + L"\\Kesvar\\Nimbra"; }
std::wstring ConfigFile() { return ConfigFolder() + L"\\qvs.cfg"; }

void DeleteStateKey() { ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Stelvan\\NimbraPlayer"); }

std::wstring TestPackageFolder() {
  const char* folder = std::getenv("NIMBRA_TEST_PACKAGES");
  if (folder == nullptr) {
    throw std::runtime_error("NIMBRA_TEST_PACKAGES is not set: run the tests through ctest");
  }
  std::wstring path = L"Z:";
  for (const char* c = folder; *c != '\0'; ++c) {
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  }
  return path + L"\\";
}

std::string TestPackage(const std::wstring& name) {
  const std::wstring path = TestPackageFolder() + name;
  if (!PathExists(path)) {
    throw std::runtime_error("a test package is missing");
  }
  return ReadAllBytes(path);
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") {
      names.push_back(name);
    }
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return names;
}

void ResetSettings() {
  logging::VerboseLogging = false;
  settings::AutoUpdateDisabled = false;
  settings::SilentAutoUpdateEnabled = false;
  settings::RunningUnderWow64 = false;
  settings::ManifestHost = settings::kPrimaryUpdateHost;
  settings::PackageHost = settings::kSecondaryUpdateHost;
}

}  // namespace testing_support
