#include "filesystem/windows_file_manager.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

#include "filesystem/listing_order.h"
#include "platform/handles.h"
#include "platform/kernel32_api.h"
#include "platform/shell32_api.h"
#include "settings/utf8_text.h"

namespace ZAZE {
namespace {

using settings::NarrowString;

constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000;

bool IsDotEntry(const wchar_t* name) {
  return (name[0] == L'.' && name[1] == L'\0') || (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

bool IsFolder(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// A folder entry that is a junction or symbolic link. The walks below never
// enter one: its target lies outside the tree (and may hold it), and this
// service deletes with system rights.
bool IsLinkedFolder(const WIN32_FIND_DATAW& entry) {
  return IsFolder(entry) && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

std::uint64_t ToUnits(const FILETIME& time) {
  return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

bool CurrentFileTime(std::uint64_t& now) {
  auto& kernel = platform::Kernel32();
  SYSTEMTIME systemTime{};
  kernel.GetSystemTime(&systemTime);
  FILETIME fileTime{};
  if (!kernel.SystemTimeToFileTime(&systemTime, &fileTime)) {
    return false;
  }
  now = ToUnits(fileTime);
  return true;
}

// One folder of an open listing: the entry FindFirstFileW or FindNextFileW
// gave last, until the listing runs out.
struct OpenListing {
  std::wstring folder;
  platform::UniqueFind handle;
  WIN32_FIND_DATAW entry{};
  bool hasEntry = false;

  bool Start(const std::wstring& path) {
    folder = path;
    handle.reset(platform::Kernel32().FindFirstFileW((folder + L"\\*").c_str(), &entry));
    hasEntry = handle.valid();
    return hasEntry;
  }

  // The current entry; the listing moves on to the next one.
  WIN32_FIND_DATAW Take() {
    const WIN32_FIND_DATAW taken = entry;
    hasEntry = platform::Kernel32().FindNextFileW(handle.get(), &entry) != FALSE;
    return taken;
  }
};

// One folder being purged, with the current time taken when it was opened.
struct PurgeFrame {
  OpenListing listing;
  std::uint64_t now = 0;
  bool emptied = true;
};

bool OpenPurgeFrame(const std::wstring& folder, std::vector<PurgeFrame>& frames) {
  PurgeFrame frame;
  if (!CurrentFileTime(frame.now) || !frame.listing.Start(folder)) {
    return false;
  }
  frames.push_back(std::move(frame));
  return true;
}

// Deletes the files of the tree whose age lies strictly between the bounds
// (in file-time units, products already taken modulo 2^64) and removes the
// folders that end up empty, except the top one. Walks with a stack of open
// listings instead of recursion, so no depth of tree can exhaust the thread's
// stack. False when the top folder cannot be walked; topEmptied says whether
// everything below it went.
bool PurgeTree(const std::wstring& top, std::uint64_t minAge, std::uint64_t maxAge, bool& topEmptied) {
  auto& kernel = platform::Kernel32();
  std::vector<PurgeFrame> frames;
  if (!OpenPurgeFrame(top, frames)) {
    return false;
  }
  while (true) {
    PurgeFrame& current = frames.back();
    if (!current.listing.hasEntry) {
      const bool emptied = current.emptied;
      const std::wstring folder = std::move(current.listing.folder);
      frames.pop_back();  // closes the listing before the folder is removed
      if (frames.empty()) {
        topEmptied = emptied;
        return true;
      }
      if (!emptied || !kernel.RemoveDirectoryW(folder.c_str())) {
        frames.back().emptied = false;
      }
      continue;
    }
    const WIN32_FIND_DATAW entry = current.listing.Take();
    if (IsDotEntry(entry.cFileName)) {
      continue;
    }
    const std::wstring path = current.listing.folder + L"\\" + entry.cFileName;
    if (IsLinkedFolder(entry)) {
      current.emptied = false;
    } else if (IsFolder(entry)) {
      // On failure nothing was pushed and current is still the top frame.
      if (!OpenPurgeFrame(path, frames)) {
        current.emptied = false;
      }
    } else {
      const std::uint64_t age = current.now - ToUnits(entry.ftLastWriteTime);
      if (minAge < age && age < maxAge) {
        if (!kernel.DeleteFileW(path.c_str())) {
          current.emptied = false;
        }
      } else {
        current.emptied = false;
      }
    }
  }
}

std::uint64_t FileSize(const std::wstring& path) {
  platform::UniqueFile file(platform::Kernel32().CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size{};
  if (!file || !platform::Kernel32().GetFileSizeEx(file.get(), &size)) {
    return 0;
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

// The size of one path of the tree; a folder's listing is pushed for the
// caller's loop instead of being walked here.
std::uint64_t SizeOrStartListing(const std::wstring& path, std::vector<OpenListing>& listings) {
  const DWORD attributes = platform::Kernel32().GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    return 0;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return FileSize(path);
  }
  OpenListing listing;
  if (listing.Start(path)) {
    listings.push_back(std::move(listing));
  }
  return 0;
}

// Every missing folder of the path, outermost first: each attempt that fails
// cuts the path at its last backslash, and once a shorter path exists (or no
// backslash is left) the longer ones are tried again in turn.
void CreateDirectoryPath(const std::wstring& path) {
  auto& kernel = platform::Kernel32();
  std::vector<std::size_t> missingLengths;  // of the paths still to create, longest first
  std::size_t length = path.size();
  while (!kernel.CreateDirectoryW(path.substr(0, length).c_str(), nullptr) &&
         ::GetLastError() != ERROR_ALREADY_EXISTS) {
    const std::size_t cut = length == 0 ? std::wstring::npos : path.rfind(L'\\', length - 1);
    if (cut == std::wstring::npos) {
      break;
    }
    missingLengths.push_back(length);
    length = cut;
  }
  for (auto missing = missingLengths.rbegin(); missing != missingLengths.rend(); ++missing) {
    kernel.CreateDirectoryW(path.substr(0, *missing).c_str(), nullptr);
  }
}

}  // namespace

bool WindowsFileManager::DeletePath(const NarrowString& path) {
  std::wstring wide;
  if (!settings::Utf8ToWide(path, wide)) {
    return false;
  }
  // The shell expands wildcards in its source list; no file can be named with
  // one, so such a path would delete whatever happens to match.
  if (wide.find_first_of(L"*?") != std::wstring::npos) {
    return false;
  }
  // The shell's list form of one entry: the path and two terminating NULs.
  std::vector<wchar_t> source(wide.begin(), wide.end());
  source.push_back(L'\0');
  source.push_back(L'\0');
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = nullptr;
  operation.wFunc = FO_DELETE;
  operation.pFrom = source.data();
  operation.pTo = nullptr;
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  const int result = platform::Shell32().SHFileOperationW(&operation);
  // Besides success, the shell's answers for a path that is not there: file
  // not found, DE_INVALIDFILES and its unknown error for an invalid path.
  return result == 0 || result == ERROR_FILE_NOT_FOUND || result == 0x7C || result == 0x402;
}

bool WindowsFileManager::PurgeDirectory(const NarrowString& path, std::uint64_t minAgeSeconds,
                                        std::uint64_t maxAgeSeconds) {
  std::wstring wide;
  if (!settings::Utf8ToWide(path, wide)) {
    return false;
  }
  bool emptied = false;
  if (!PurgeTree(wide, minAgeSeconds * kFileTimeUnitsPerSecond, maxAgeSeconds * kFileTimeUnitsPerSecond, emptied)) {
    return false;
  }
  return !emptied || platform::Kernel32().RemoveDirectoryW(wide.c_str()) != FALSE;
}

std::uint64_t WindowsFileManager::GetPathSize(const NarrowString& path) {
  std::wstring wide;
  if (!settings::Utf8ToWide(path, wide)) {
    return 0;
  }
  std::vector<OpenListing> listings;
  std::uint64_t total = SizeOrStartListing(wide, listings);
  while (!listings.empty()) {
    OpenListing& current = listings.back();
    if (!current.hasEntry) {
      listings.pop_back();
      continue;
    }
    const WIN32_FIND_DATAW entry = current.Take();
    if (IsDotEntry(entry.cFileName) || IsLinkedFolder(entry)) {
      continue;
    }
    // May push a listing, so current is not used after this.
    total += SizeOrStartListing(current.folder + L"\\" + entry.cFileName, listings);
  }
  return total;
}

bool WindowsFileManager::CreateSubdirectory(const NarrowString& parent, const NarrowString& name) {
  std::wstring wideParent;
  std::wstring wideName;
  if (!settings::Utf8ToWide(parent, wideParent) || !settings::Utf8ToWide(name, wideName)) {
    return false;
  }
  CreateDirectoryPath(wideParent);
  auto& kernel = platform::Kernel32();
  const std::wstring folder = wideParent + L"\\" + wideName;
  if (kernel.CreateDirectoryW(folder.c_str(), nullptr)) {
    return true;
  }
  if (::GetLastError() != ERROR_ALREADY_EXISTS) {
    return false;
  }
  // "Already exists" is also the answer when a file holds the name.
  const DWORD attributes = kernel.GetFileAttributesW(folder.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::unique_ptr<StringVector> WindowsFileManager::ListDirectory(const NarrowString& path) {
  auto names = std::make_unique<StringVector>();
  std::wstring wide;
  if (!settings::Utf8ToWide(path, wide)) {
    return nullptr;
  }
  OpenListing listing;
  if (listing.Start(wide)) {
    while (listing.hasEntry) {
      const WIN32_FIND_DATAW entry = listing.Take();
      NarrowString name;
      if (!IsDotEntry(entry.cFileName) && settings::WideToUtf8(entry.cFileName, name)) {
        names->Add(name);
      }
    }
  }
  listing.handle.reset();
  if (names->Count() > 1) {
    names->Sort(&ListingNameLess);
  }
  return names;
}

}  // namespace ZAZE
