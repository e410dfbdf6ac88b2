#include "update/manifest_fetch.h"

#include <windows.h>
#include <winhttp.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "logging/log.h"
#include "platform/handles.h"
#include "platform/winhttp_api.h"
#include "settings/settings.h"
#include "update/manifest_parser.h"

namespace update {
namespace {

using logging::MessageCode;
using platform::UniqueInternetHandle;

// The body in chunks as WinHTTP offers them. Each buffer is one byte longer
// than the chunk and zeroed, and only the bytes up to the first zero are kept,
// so a zero byte inside the data cuts off the rest of that chunk.
void ReadBody(HINTERNET request, std::string& body) {
  auto& http = platform::WinHttp();
  DWORD size = 0;
  do {
    size = 0;
    if (!http.WinHttpQueryDataAvailable(request, &size)) {
      logging::LogLastError(MessageCode::ManifestQueryDataFailed);
    }
    std::vector<char> buffer;
    try {
      buffer.assign(static_cast<std::size_t>(size) + 1, '\0');
    } catch (const std::bad_alloc&) {
      logging::LogCode(MessageCode::ManifestChunkAllocFailed);
      size = 0;
      break;
    }
    DWORD read = 0;
    if (http.WinHttpReadData(request, buffer.data(), size, &read)) {
      body.append(buffer.data(), std::strlen(buffer.data()));
    } else {
      logging::LogLastError(MessageCode::ManifestReadDataFailed);
    }
  } while (size > 0);
}

}  // namespace

bool FetchVersionManifest(std::unique_ptr<ComponentVersion>& activeX,
                          std::unique_ptr<ComponentVersion>& plugin,
                          std::unique_ptr<SAUConfig>& config) {
  auto& http = platform::WinHttp();
  std::string body;
  bool responseReceived = false;
  {
    // Declared root first, so they close request, connection, root.
    UniqueInternetHandle root(http.WinHttpOpen(kManifestUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!root) {
      logging::LogLastError(MessageCode::ManifestSessionFailed);
    }
    UniqueInternetHandle connection;
    if (root) {
      const std::wstring host = settings::GetManifestHost();
      connection.reset(http.WinHttpConnect(root.get(), host.c_str(), INTERNET_DEFAULT_HTTPS_PORT, 0));
    }
    if (!connection) {
      logging::LogLastError(MessageCode::ManifestConnectFailed);
    }
    UniqueInternetHandle request;
    if (connection) {
      request.reset(http.WinHttpOpenRequest(connection.get(), L"GET", kManifestPath, nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            WINHTTP_FLAG_SECURE));
    }
    if (!request) {
      logging::LogLastError(MessageCode::ManifestRequestFailed);
    }
    bool sent = false;
    if (request) {
      sent = http.WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                     WINHTTP_NO_REQUEST_DATA, 0, 0, 0) != FALSE;
    }
    if (!sent) {
      logging::LogLastError(MessageCode::ManifestSendFailed);
    }
    if (sent) {
      responseReceived = http.WinHttpReceiveResponse(request.get(), nullptr) != FALSE;
    }
    if (responseReceived) {
      ReadBody(request.get(), body);
    } else {
      logging::LogLastError(MessageCode::ManifestResponseFailed);
    }
  }
  if (!responseReceived) {
    logging::LogCode(MessageCode::ManifestDownloadFailed);
    return false;
  }
  if (!ParseVersionManifest(body.data(), activeX, plugin, config)) {
    logging::LogCode(MessageCode::ManifestIncomplete);
    return false;
  }
  return true;
}

}  // namespace update
