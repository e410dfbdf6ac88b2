#include "update/package_download.h"

#include <objbase.h>
#include <winhttp.h>

#include <new>
#include <string>

#include "logging/log.h"
#include "platform/handles.h"
#include "platform/kernel32_api.h"
#include "platform/ole32_api.h"
#include "platform/winhttp_api.h"
#include "settings/settings.h"
#include "update/package_verifier.h"

namespace update {
namespace {

using logging::MessageCode;
using platform::UniqueInternetHandle;

constexpr std::size_t kPathUnits = MAX_PATH;  // 260, terminator included

struct Connection {
  UniqueInternetHandle root;
  UniqueInternetHandle connection;
  UniqueInternetHandle request;  // declared last: closed first

  void Close() {
    request.reset();
    connection.reset();
    root.reset();
  }
};

// Steps up to the response; logs 1214 at the first that fails.
bool OpenRequest(const wchar_t* path, Connection& http) {
  auto& api = platform::WinHttp();
  http.root.reset(api.WinHttpOpen(kPackageUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                  WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!http.root) {
    logging::LogLastError(MessageCode::DownloadRequestFailed);
    return false;
  }
  {
    const std::wstring host = settings::GetPackageHost();
    http.connection.reset(api.WinHttpConnect(http.root.get(), host.c_str(), INTERNET_DEFAULT_HTTP_PORT, 0));
  }
  if (!http.connection) {
    logging::LogLastError(MessageCode::DownloadRequestFailed);
    return false;
  }
  http.request.reset(api.WinHttpOpenRequest(http.connection.get(), L"GET", path, nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!http.request) {
    logging::LogLastError(MessageCode::DownloadRequestFailed);
    return false;
  }
  if (!api.WinHttpSendRequest(http.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !api.WinHttpReceiveResponse(http.request.get(), nullptr)) {
    logging::LogLastError(MessageCode::DownloadRequestFailed);
    return false;
  }
  return true;
}

// The private folder's name with its closing backslash: the temporary path
// and a new GUID, or else a "NPI" temporary file name.
bool MakePrivateFolderName(const std::wstring& tempPath, std::wstring& folder) {
  auto& ole = platform::Ole32();
  auto& kernel = platform::Kernel32();
  bool named = false;
  GUID guid{};
  if (SUCCEEDED(ole.CoCreateGuid(&guid))) {
    wchar_t text[kPathUnits] = {};
    if (ole.StringFromGUID2(guid, text, static_cast<int>(kPathUnits)) > 0) {
      folder = (tempPath + text).substr(0, kPathUnits - 1);
      named = true;
    } else {
      logging::LogCode(MessageCode::DownloadGuidTextFailed);
    }
  }
  if (!named) {
    logging::LogCode(MessageCode::DownloadGuidFolderFailed);
    wchar_t name[kPathUnits] = {};
    if (kernel.GetTempFileNameW(tempPath.c_str(), L"NPI", 0, name) == 0) {
      logging::LogLastError(MessageCode::DownloadTempFileNameFailed);
      return false;
    }
    if (!kernel.DeleteFileW(name)) {  // the name is wanted, not the file it made
      logging::LogLastError(MessageCode::DownloadTempFileDeleteFailed);
      return false;
    }
    folder = name;
  }
  folder += L'\\';
  return true;
}

// Copies the response body into the file. On failure the private folder and
// the partial file stay.
bool CopyBody(HINTERNET request, HANDLE file) {
  auto& api = platform::WinHttp();
  DWORD size = 0;
  do {
    size = 0;
    if (!api.WinHttpQueryDataAvailable(request, &size)) {
      logging::LogLastError(MessageCode::DownloadQueryDataFailed);
      return false;
    }
    std::vector<char> buffer;
    try {
      buffer.assign(static_cast<std::size_t>(size) + 1, '\0');
    } catch (const std::bad_alloc&) {
      logging::LogLastError(MessageCode::DownloadChunkAllocFailed);
      return false;
    }
    DWORD read = 0;
    if (!api.WinHttpReadData(request, buffer.data(), size, &read)) {
      logging::LogLastError(MessageCode::DownloadReadDataFailed);
      return false;
    }
    DWORD written = 0;
    if (!platform::Kernel32().WriteFile(file, buffer.data(), read, &written, nullptr)) {
      logging::LogLastError(MessageCode::DownloadChunkWriteFailed);
      return false;
    }
  } while (size > 0);
  return true;
}

HANDLE CreateForWriting(const wchar_t* path) {
  return platform::Kernel32().CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Verifies the package and writes the installer it carries.
bool WriteVerifiedInstaller(const std::vector<BYTE>& package) {
  auto& kernel = platform::Kernel32();
  try {
    PackageVerifier verifier;
    std::vector<BYTE> installer;
    if (!VerifyPackageSignature(verifier, package.data(), static_cast<std::uint32_t>(package.size()),
                                installer)) {
      logging::LogLastError(MessageCode::PackageRejected);
      return false;
    }
    platform::UniqueFile file(CreateForWriting(kInstallerFileName));
    if (!file) {
      logging::LogLastError(MessageCode::InstallerCreateFailed);
      return false;
    }
    DWORD written = 0;
    if (!kernel.WriteFile(file.get(), installer.data(), static_cast<DWORD>(installer.size()), &written,
                          nullptr)) {
      logging::LogLastError(MessageCode::InstallerWriteFailed);
      return false;  // the partly written file stays
    }
    if (!kernel.CloseHandle(file.release())) {
      logging::LogLastError(MessageCode::InstallerCloseFailed);
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;  // the verifier and the content are released on the way out
  }
}

}  // namespace

const wchar_t* PackagePath(PlayerFlavour flavour, bool runningUnderWow64) {
  switch (flavour) {
    case PlayerFlavour::ActiveX:
      return runningUnderWow64 ? L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_64_ax_sgn.z"
                               : L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_ax_sgn.z";
    case PlayerFlavour::Plugin:
      return runningUnderWow64 ? L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_64_pl_sgn.z"
                               : L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_pl_sgn.z";
  }
  return nullptr;
}

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& bytes) {
  auto& kernel = platform::Kernel32();
  platform::UniqueFile file(kernel.CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    return false;
  }
  const DWORD size = kernel.GetFileSize(file.get(), nullptr);
  if (size == 0 || size == INVALID_FILE_SIZE) {
    return false;
  }
  std::vector<BYTE> buffer(size);
  DWORD total = 0;
  while (total < size) {
    DWORD read = 0;
    if (!kernel.ReadFile(file.get(), buffer.data() + total, size - total, &read, nullptr) || read == 0) {
      break;
    }
    total += read;
  }
  if (total < size) {
    return false;
  }
  bytes = std::move(buffer);
  return true;
}

bool DownloadInstallerPackage(PlayerFlavour flavour) {
  auto& kernel = platform::Kernel32();
  const wchar_t* path = PackagePath(flavour, settings::RunningUnderWow64);
  if (path == nullptr) {
    logging::LogCode(MessageCode::DownloadUnknownFlavour);
    return false;
  }
  logging::LogCode(flavour == PlayerFlavour::ActiveX ? MessageCode::ActiveXDownloadStarted
                                                     : MessageCode::PluginDownloadStarted);
  Connection http;
  if (!OpenRequest(path, http)) {
    return false;
  }

  wchar_t tempBuffer[kPathUnits] = {};
  const DWORD tempLength = kernel.GetTempPathW(static_cast<DWORD>(kPathUnits), tempBuffer);
  if (tempLength == 0 || tempLength > kPathUnits) {
    logging::LogLastError(MessageCode::DownloadTempPathFailed);
    return false;
  }
  std::wstring folder;
  if (!MakePrivateFolderName(tempBuffer, folder)) {
    return false;
  }
  const std::wstring downloadFile = folder + L"npi.tmp";
  // A temporary path so long that the download file's name would not fit:
  // fail before anything is created rather than write somewhere else.
  if (downloadFile.size() >= kPathUnits) {
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    logging::LogLastError(MessageCode::DownloadTempPathFailed);
    return false;
  }
  if (!kernel.CreateDirectoryW(folder.c_str(), nullptr)) {
    logging::LogLastError(MessageCode::DownloadFolderCreateFailed);
    return false;
  }
  {
    platform::UniqueFile file(CreateForWriting(downloadFile.c_str()));
    if (!file) {
      logging::LogLastError(MessageCode::DownloadFileCreateFailed);
      return false;
    }
    if (!CopyBody(http.request.get(), file.get())) {
      return false;
    }
    if (!kernel.CloseHandle(file.release())) {
      logging::LogLastError(MessageCode::DownloadFileCloseFailed);
    }
  }
  http.Close();

  std::vector<BYTE> package;
  const bool readBack = ReadWholeFile(downloadFile.c_str(), package);
  const DWORD readError = ::GetLastError();
  if (!kernel.DeleteFileW(downloadFile.c_str())) {
    logging::LogLastError(MessageCode::DownloadFileDeleteFailed);
  }
  if (!kernel.RemoveDirectoryW(folder.c_str())) {
    logging::LogLastError(MessageCode::DownloadFolderRemoveFailed);
  }
  if (!readBack) {
    logging::LogSystemError(MessageCode::PackageRejected, readError);
    return false;
  }
  return WriteVerifiedInstaller(package);
}

}  // namespace update
