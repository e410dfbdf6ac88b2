#include "update/package_verifier.h"

#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "platform/kernel32_api.h"
#include "platform/shell32_api.h"
#include "update/ca_certificate.h"

namespace update {
namespace {

constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;  // 0x10001
constexpr DWORD kSignatureAndTime = CERT_STORE_SIGNATURE_FLAG | CERT_STORE_TIME_VALIDITY_FLAG;

// One certificate context, released once through the loaded table.
class Certificate {
 public:
  Certificate(const CryptoFunctions& functions, PCCERT_CONTEXT context)
      : functions_(functions), context_(context) {}
  ~Certificate() { reset(); }
  Certificate(const Certificate&) = delete;
  Certificate& operator=(const Certificate&) = delete;

  PCCERT_CONTEXT get() const { return context_; }
  explicit operator bool() const { return context_ != nullptr; }
  void reset(PCCERT_CONTEXT context = nullptr) {
    if (context_ != nullptr) {
      functions_.CertFreeCertificateContext(context_);
    }
    context_ = context;
  }
  PCCERT_CONTEXT release() {
    PCCERT_CONTEXT context = context_;
    context_ = nullptr;
    return context;
  }

 private:
  const CryptoFunctions& functions_;
  PCCERT_CONTEXT context_;
};

// Whether `subject` is signed by `issuer` and lies within its own validity
// period now.
bool LinkHolds(const CryptoFunctions& f, PCCERT_CONTEXT subject, PCCERT_CONTEXT issuer) {
  DWORD flags = kSignatureAndTime;
  return f.CertVerifySubjectCertificateContext(subject, issuer, &flags) && flags == 0;
}

// The same certificate, byte for byte: the issuer found for a self-issued
// certificate is that certificate again.
bool SameCertificate(PCCERT_CONTEXT a, PCCERT_CONTEXT b) {
  return a->cbCertEncoded == b->cbCertEncoded &&
         std::memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}

// Walks from the signer up through the message's certificates and checks
// the topmost against the authority.
bool ChainReachesAuthority(const CryptoFunctions& f, HCERTSTORE store, Certificate& current,
                           PCCERT_CONTEXT authority) {
  int stepsLeft = kMaxChainSteps;
  for (;;) {
    --stepsLeft;
    Certificate issuer(f, f.CertFindCertificateInStore(store, kEncoding, 0, CERT_FIND_ISSUER_OF,
                                                       current.get(), nullptr));
    if (!issuer || SameCertificate(issuer.get(), current.get())) {
      if (stepsLeft == 0) {
        return false;  // the 32nd lookup found no further issuer
      }
      break;
    }
    if (!LinkHolds(f, current.get(), issuer.get())) {
      return false;
    }
    current.reset(issuer.release());
    if (stepsLeft == 0) {
      break;  // 32 links verified
    }
  }
  return LinkHolds(f, current.get(), authority);
}

}  // namespace

CryptoFunctions::~CryptoFunctions() {
  if (module != nullptr) {
    platform::Kernel32().FreeLibrary(module);
  }
}

PackageVerifier::PackageVerifier() : PackageVerifier(kCaCertificate, kCaCertificateLength) {}

PackageVerifier::PackageVerifier(const unsigned char* authority, std::uint32_t authorityLength)
    : caCertificate(authority), caCertificateLength(authorityLength) {}

bool LoadSystemLibrary(const wchar_t* name, CryptoFunctions& table) {
  auto& kernel = platform::Kernel32();
  if (table.module != nullptr) {
    kernel.FreeLibrary(table.module);
    table.module = nullptr;
  }
  std::wstring path = name;
  if (std::wcschr(name, L'\\') == nullptr) {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(platform::Shell32().SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, SHGFP_TYPE_CURRENT,
                                                    folder))) {
      return false;
    }
    path = folder;
    if (!path.empty() && path.back() != L'\\') {
      path += L'\\';
    }
    path += name;
  }
  table.module = kernel.LoadLibraryW(path.c_str());
  return table.module != nullptr;
}

namespace {

template <typename Function>
bool LookUp(HMODULE module, const char* name, Function& entry) {
  const FARPROC address = platform::Kernel32().GetProcAddress(module, name);
  entry = reinterpret_cast<Function>(reinterpret_cast<void*>(address));
  return address != nullptr;
}

}  // namespace

bool LoadCryptoFunctions(CryptoFunctions& table) {
  if (!LoadSystemLibrary(L"crypt32.dll", table)) {
    return false;
  }
  const HMODULE m = table.module;
  return LookUp(m, "CryptVerifyMessageSignature", table.CryptVerifyMessageSignature) &&
         LookUp(m, "CryptGetMessageCertificates", table.CryptGetMessageCertificates) &&
         LookUp(m, "CertCreateCertificateContext", table.CertCreateCertificateContext) &&
         LookUp(m, "CertFindCertificateInStore", table.CertFindCertificateInStore) &&
         LookUp(m, "CertVerifySubjectCertificateContext", table.CertVerifySubjectCertificateContext) &&
         LookUp(m, "CertFreeCertificateContext", table.CertFreeCertificateContext);
}

bool VerifyPackageSignature(PackageVerifier& verifier, const BYTE* package, std::uint32_t packageSize,
                            std::vector<BYTE>& content) {
  if (!verifier.functions) {
    auto table = std::make_unique<CryptoFunctions>();
    if (!LoadCryptoFunctions(*table)) {
      return false;  // the table's destructor unloads the library
    }
    verifier.functions = std::move(table);
  }
  const CryptoFunctions& f = *verifier.functions;
  content.clear();

  // The signer's certificate is taken from the message itself.
  CRYPT_VERIFY_MESSAGE_PARA para{};
  para.cbSize = sizeof(para);
  para.dwMsgAndCertEncodingType = kEncoding;
  para.hCryptProv = 0;
  para.pfnGetSignerCertificate = nullptr;
  para.pvGetArg = nullptr;

  DWORD decodedSize = 0;
  if (!f.CryptVerifyMessageSignature(&para, 0, package, packageSize, nullptr, &decodedSize, nullptr)) {
    return false;
  }
  content.resize(decodedSize);
  PCCERT_CONTEXT signerContext = nullptr;
  if (!f.CryptVerifyMessageSignature(&para, 0, package, packageSize, content.data(), &decodedSize,
                                     &signerContext)) {
    return false;
  }
  content.resize(decodedSize);
  Certificate current(f, signerContext);

  // The store lives until the process ends: closing it would take a seventh
  // entry point, and a service process makes at most one download.
  const HCERTSTORE store = f.CryptGetMessageCertificates(kEncoding, 0, 0, package, packageSize);
  if (store == nullptr) {
    return false;
  }
  Certificate authority(f, f.CertCreateCertificateContext(kEncoding, verifier.caCertificate,
                                                          verifier.caCertificateLength));
  if (!authority) {
    return false;
  }
  return ChainReachesAuthority(f, store, current, authority.get());
}

}  // namespace update
