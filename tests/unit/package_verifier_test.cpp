#include "update/package_verifier.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "platform/shell32_api.h"
#include "test_support.h"

namespace {

using platform::ScopedOverride;
using update::CryptoFunctions;
using update::PackageVerifier;

std::vector<BYTE> Bytes(const std::wstring& name) {
  const std::string bytes = testing_support::TestPackage(name);
  return std::vector<BYTE>(bytes.begin(), bytes.end());
}

struct Verdict {
  bool accepted;
  std::vector<BYTE> content;
};

Verdict Verify(const std::wstring& package, const std::wstring& authority = L"authority.der") {
  const std::vector<BYTE> ca = Bytes(authority);
  PackageVerifier verifier(ca.data(), static_cast<std::uint32_t>(ca.size()));
  const std::vector<BYTE> bytes = Bytes(package);
  Verdict verdict;
  verdict.accepted = update::VerifyPackageSignature(verifier, bytes.data(),
                                                    static_cast<std::uint32_t>(bytes.size()), verdict.content);
  return verdict;
}

TEST(PackageVerifier, AcceptsOnlyChainsThatReachTheAuthority) {
  struct Case {
    const wchar_t* package;
    const wchar_t* authority;
    bool accepted;
  };
  const Case cases[] = {
      {L"direct.p7", L"authority.der", true},
      {L"intermediate.p7", L"authority.der", true},
      {L"missing-intermediate.p7", L"authority.der", false},
      {L"foreign-root.p7", L"authority.der", false},
      {L"expired.p7", L"authority.der", false},
      {L"not-yet-valid.p7", L"authority.der", false},
      {L"altered.p7", L"authority.der", false},
      {L"payload.bin", L"authority.der", false},  // a plain executable
      {L"direct.p7", L"foreign.der", false},       // another authority
      // 30 intermediates: the 31st lookup finds none. 31: the 32nd lookup finds
      // none, which the walk refuses. 32: 32 links walked, the last signed by
      // the authority. 33: the topmost reached is not signed by the authority.
      {L"chain-30.p7", L"authority.der", true},
      {L"chain-31.p7", L"authority.der", false},
      {L"chain-32.p7", L"authority.der", true},
      {L"chain-33.p7", L"authority.der", false},
      // The authority's own validity is not checked, unless the message carries it.
      {L"old-authority-signed.p7", L"old-authority.der", true},
      {L"old-authority-carried.p7", L"old-authority.der", false},
  };
  const std::vector<BYTE> payload = Bytes(L"payload.bin");
  ASSERT_GT(payload.size(), 1000u);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.package, c.package + std::wcslen(c.package)));
    const Verdict verdict = Verify(c.package, c.authority);
    EXPECT_EQ(verdict.accepted, c.accepted);
    if (c.accepted) {
      EXPECT_EQ(verdict.content, payload);
    }
  }
}

TEST(PackageVerifier, EmptyPackageIsRejected) {
  const std::vector<BYTE> ca = Bytes(L"authority.der");
  PackageVerifier verifier(ca.data(), static_cast<std::uint32_t>(ca.size()));
  std::vector<BYTE> content = {1, 2, 3};
  const BYTE nothing = 0;
  EXPECT_FALSE(update::VerifyPackageSignature(verifier, &nothing, 0, content));
  EXPECT_TRUE(content.empty());
}

TEST(PackageVerifier, CompiledInAuthorityIsTheConfiguredDer) {
  PackageVerifier verifier;
  ASSERT_NE(verifier.caCertificate, nullptr);
  EXPECT_GT(verifier.caCertificateLength, 500u);
  EXPECT_EQ(verifier.caCertificate[0], 0x30);  // a DER SEQUENCE
  // The test authority is not the compiled-in one.
  const std::vector<BYTE> bytes = Bytes(L"direct.p7");
  std::vector<BYTE> content;
  EXPECT_FALSE(update::VerifyPackageSignature(verifier, bytes.data(),
                                              static_cast<std::uint32_t>(bytes.size()), content));
}

// Every certificate context handed out is released exactly once.
int g_obtained = 0;
int g_released = 0;
decltype(&::CertFindCertificateInStore) g_realFind = nullptr;
decltype(&::CertCreateCertificateContext) g_realCreate = nullptr;
decltype(&::CertFreeCertificateContext) g_realFree = nullptr;
decltype(&::CryptVerifyMessageSignature) g_realVerify = nullptr;

PCCERT_CONTEXT WINAPI CountingFind(HCERTSTORE store, DWORD encoding, DWORD flags, DWORD type,
                                   const void* para, PCCERT_CONTEXT previous) {
  PCCERT_CONTEXT found = g_realFind(store, encoding, flags, type, para, previous);
  g_obtained += found != nullptr;
  return found;
}
PCCERT_CONTEXT WINAPI CountingCreate(DWORD encoding, const BYTE* bytes, DWORD size) {
  PCCERT_CONTEXT created = g_realCreate(encoding, bytes, size);
  g_obtained += created != nullptr;
  return created;
}
BOOL WINAPI CountingFree(PCCERT_CONTEXT context) {
  ++g_released;
  return g_realFree(context);
}
BOOL WINAPI CountingVerify(PCRYPT_VERIFY_MESSAGE_PARA para, DWORD index, const BYTE* blob, DWORD size,
                           BYTE* decoded, DWORD* decodedSize, PCCERT_CONTEXT* signer) {
  const BOOL ok = g_realVerify(para, index, blob, size, decoded, decodedSize, signer);
  if (ok && signer != nullptr && *signer != nullptr) {
    ++g_obtained;
  }
  return ok;
}

TEST(PackageVerifier, EveryCertificateContextIsReleasedOnce) {
  for (const wchar_t* package : {L"direct.p7", L"intermediate.p7", L"foreign-root.p7", L"expired.p7",
                                 L"chain-32.p7", L"chain-33.p7", L"old-authority-carried.p7"}) {
    SCOPED_TRACE(testing::Message() << std::string(package, package + std::wcslen(package)));
    const std::vector<BYTE> ca = Bytes(L"authority.der");
    PackageVerifier verifier(ca.data(), static_cast<std::uint32_t>(ca.size()));
    verifier.functions = std::make_unique<CryptoFunctions>();
    ASSERT_TRUE(update::LoadCryptoFunctions(*verifier.functions));
    CryptoFunctions& f = *verifier.functions;
    g_realFind = f.CertFindCertificateInStore;
    g_realCreate = f.CertCreateCertificateContext;
    g_realFree = f.CertFreeCertificateContext;
    g_realVerify = f.CryptVerifyMessageSignature;
    f.CertFindCertificateInStore = &CountingFind;
    f.CertCreateCertificateContext = &CountingCreate;
    f.CertFreeCertificateContext = &CountingFree;
    f.CryptVerifyMessageSignature = &CountingVerify;
    g_obtained = g_released = 0;
    const std::vector<BYTE> bytes = Bytes(package);
    std::vector<BYTE> content;
    update::VerifyPackageSignature(verifier, bytes.data(), static_cast<std::uint32_t>(bytes.size()), content);
    EXPECT_GT(g_obtained, 1);
    EXPECT_EQ(g_released, g_obtained);
  }
}

// Loading crypt32.dll: by full path from the system folder, six entry points.
std::vector<std::wstring> g_loaded;
int g_freed = 0;
HMODULE WINAPI RecordingLoad(LPCWSTR path) {
  g_loaded.push_back(path);
  return ::LoadLibraryW(path);
}
BOOL WINAPI CountingFreeLibrary(HMODULE module) {
  ++g_freed;
  return ::FreeLibrary(module);
}
std::vector<std::string> g_lookedUp;
FARPROC WINAPI MissingFourth(HMODULE module, LPCSTR name) {
  g_lookedUp.push_back(name);
  return g_lookedUp.size() == 4 ? nullptr : ::GetProcAddress(module, name);
}
HRESULT WINAPI NoSystemFolder(HWND, int, HANDLE, DWORD, LPWSTR) { return E_FAIL; }

TEST(CryptoLibrary, LoadedFromTheSystemFolderAndUnloadedWithTheVerifier) {
  g_loaded.clear();
  g_freed = 0;
  ScopedOverride load(platform::Kernel32().LoadLibraryW, &RecordingLoad);
  ScopedOverride unload(platform::Kernel32().FreeLibrary, &CountingFreeLibrary);
  {
    const std::vector<BYTE> ca = Bytes(L"authority.der");
    PackageVerifier verifier(ca.data(), static_cast<std::uint32_t>(ca.size()));
    const std::vector<BYTE> bytes = Bytes(L"direct.p7");
    std::vector<BYTE> content;
    EXPECT_TRUE(update::VerifyPackageSignature(verifier, bytes.data(),
                                               static_cast<std::uint32_t>(bytes.size()), content));
    EXPECT_TRUE(update::VerifyPackageSignature(verifier, bytes.data(),
                                               static_cast<std::uint32_t>(bytes.size()), content));
    EXPECT_EQ(g_loaded.size(), 1u);  // loaded once, by the first verification
    EXPECT_EQ(g_freed, 0);
  }
  ASSERT_EQ(g_loaded.size(), 1u);
  EXPECT_EQ(g_loaded[0], testing_support::SystemFolder() + L"\\crypt32.dll");
  EXPECT_EQ(g_freed, 1);

  CryptoFunctions table;
  EXPECT_TRUE(update::LoadSystemLibrary(L"C:\\windows\\system32\\crypt32.dll", table));
  EXPECT_EQ(g_loaded.back(), L"C:\\windows\\system32\\crypt32.dll");  // a path is used as given
  EXPECT_TRUE(update::LoadSystemLibrary(L"crypt32.dll", table));    // frees the first
  EXPECT_EQ(g_freed, 2);
}

TEST(CryptoLibrary, MissingEntryPointOrFolderFailsAndUnloads) {
  g_lookedUp.clear();
  g_freed = 0;
  ScopedOverride unload(platform::Kernel32().FreeLibrary, &CountingFreeLibrary);
  {
    ScopedOverride lookUp(platform::Kernel32().GetProcAddress, &MissingFourth);
    const std::vector<BYTE> ca = Bytes(L"authority.der");
    PackageVerifier verifier(ca.data(), static_cast<std::uint32_t>(ca.size()));
    const std::vector<BYTE> bytes = Bytes(L"direct.p7");
    std::vector<BYTE> content;
    EXPECT_FALSE(update::VerifyPackageSignature(verifier, bytes.data(),
                                                static_cast<std::uint32_t>(bytes.size()), content));
    EXPECT_EQ(verifier.functions, nullptr);
    EXPECT_EQ(g_freed, 1);
  }
  const std::vector<std::string> order = {"CryptVerifyMessageSignature", "CryptGetMessageCertificates",
                                          "CertCreateCertificateContext", "CertFindCertificateInStore"};
  EXPECT_EQ(g_lookedUp, order);

  ScopedOverride noFolder(platform::Shell32().SHGetFolderPathW, &NoSystemFolder);
  CryptoFunctions table;
  EXPECT_FALSE(update::LoadCryptoFunctions(table));
  EXPECT_EQ(table.module, nullptr);
}

}  // namespace
