// The platform's floor for a package download: only the WinHTTP, file and
// CryptoAPI calls the service makes (download to a file, read it back, the
// size query and the verify-and-extract, the message's certificate store and
// one issuer lookup, write the installer), with nothing else around them.
//   package_download_floor.exe HOST
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <vector>

#include "measure.h"

namespace {

const wchar_t kPath[] = L"/pub/nimbraplayer/update/current/sau/11/install/install_all_win_ax_sgn.z";

bool Download(const wchar_t* host, const wchar_t* file) {
  HINTERNET root = WinHttpOpen(L"floor", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0);
  HINTERNET connection = WinHttpConnect(root, host, INTERNET_DEFAULT_HTTP_PORT, 0);
  HINTERNET request = WinHttpOpenRequest(connection, L"GET", kPath, nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
  bool ok = request && WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
            WinHttpReceiveResponse(request, nullptr);
  HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::vector<char> buffer(8193);
  DWORD size = 0;
  do {
    size = 0;
    if (!ok || !WinHttpQueryDataAvailable(request, &size)) {
      break;
    }
    DWORD read = 0, written = 0;
    if (!WinHttpReadData(request, buffer.data(), size, &read)) {
      ok = false;
      break;
    }
    WriteFile(out, buffer.data(), read, &written, nullptr);
  } while (size > 0);
  CloseHandle(out);
  WinHttpCloseHandle(request);
  WinHttpCloseHandle(connection);
  WinHttpCloseHandle(root);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  const bench::Measurement measurement;
  if (argc < 2 || !Download(argv[1], L"floor-npi.tmp")) {
    return 1;
  }
  HANDLE file = CreateFileW(L"floor-npi.tmp", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD size = GetFileSize(file, nullptr);
  std::vector<BYTE> package(size);
  DWORD read = 0;
  ReadFile(file, package.data(), size, &read, nullptr);
  CloseHandle(file);
  DeleteFileW(L"floor-npi.tmp");

  CRYPT_VERIFY_MESSAGE_PARA para{};
  para.cbSize = sizeof(para);
  para.dwMsgAndCertEncodingType = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
  DWORD decoded = 0;
  if (!CryptVerifyMessageSignature(&para, 0, package.data(), size, nullptr, &decoded, nullptr)) {
    return 1;
  }
  std::vector<BYTE> content(decoded);
  PCCERT_CONTEXT signer = nullptr;
  if (!CryptVerifyMessageSignature(&para, 0, package.data(), size, content.data(), &decoded, &signer)) {
    return 1;
  }
  // The message's certificates, which the chain walk searches.
  HCERTSTORE store = CryptGetMessageCertificates(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, 0, package.data(), size);
  if (store == nullptr) {
    return 1;
  }
  PCCERT_CONTEXT issuer = CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                     CERT_FIND_ISSUER_OF, signer, nullptr);
  if (issuer != nullptr) {
    CertFreeCertificateContext(issuer);
  }
  CertFreeCertificateContext(signer);
  HANDLE installer = CreateFileW(L"floor-installer.exe", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(installer, content.data(), decoded, &written, nullptr);
  CloseHandle(installer);
  measurement.Print("floor");
  return 0;
}
