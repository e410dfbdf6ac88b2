#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace update {

// crypt32.dll, loaded at run time from the system folder, and the six entry
// points the signature check uses, looked up in this order.
struct CryptoFunctions {
  HMODULE module = nullptr;
  decltype(&::CryptVerifyMessageSignature) CryptVerifyMessageSignature = nullptr;
  decltype(&::CryptGetMessageCertificates) CryptGetMessageCertificates = nullptr;
  decltype(&::CertCreateCertificateContext) CertCreateCertificateContext = nullptr;
  decltype(&::CertFindCertificateInStore) CertFindCertificateInStore = nullptr;
  decltype(&::CertVerifySubjectCertificateContext) CertVerifySubjectCertificateContext = nullptr;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;

  CryptoFunctions() = default;
  ~CryptoFunctions();  // unloads the library
  CryptoFunctions(const CryptoFunctions&) = delete;
  CryptoFunctions& operator=(const CryptoFunctions&) = delete;
};

// The most issuer steps walked inside a package's own certificates.
inline constexpr int kMaxChainSteps = 32;

// Checks installer packages against one certificate authority. Made for one
// download; releasing it unloads crypt32.dll.
struct PackageVerifier {
  PackageVerifier();  // the compiled-in authority
  PackageVerifier(const unsigned char* authority, std::uint32_t authorityLength);

  std::unique_ptr<CryptoFunctions> functions;  // loaded by the first verification
  const unsigned char* caCertificate;
  std::uint32_t caCertificateLength;
};

// Accepts a PKCS #7 SignedData package (DER, content attached) when its
// signature verifies with the signer certificate it carries, every link from
// the signer up through the certificates it carries is signed by the next and
// valid now, and the topmost one is signed by the verifier's authority.
// The signed content (the installer) goes to `content` as soon as its size is
// known, also when a later check fails. Logs nothing.
bool VerifyPackageSignature(PackageVerifier& verifier, const BYTE* package, std::uint32_t packageSize,
                            std::vector<BYTE>& content);

// Loads crypt32.dll from the system folder and looks up the six entry points;
// false at the first that is missing (the caller unloads the library).
bool LoadCryptoFunctions(CryptoFunctions& table);

// Loads a library into the table: a bare file name from the system folder,
// a name with a backslash as it is.
bool LoadSystemLibrary(const wchar_t* name, CryptoFunctions& table);

}  // namespace update
