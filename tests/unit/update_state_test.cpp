#include "settings/update_state.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/advapi32_api.h"
#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "test_support.h"

namespace {

using platform::Advapi32;
using platform::ScopedOverride;
using settings::kFileTimeUnitsPerDay;

constexpr const wchar_t kKey[] = L"SOFTWARE\\Stelvan\\NimbraPlayer";
constexpr std::uint64_t kNow = 132000000000000000ULL;  // a day in 2019

std::uint64_t g_now = kNow;
void WINAPI FixedFileTime(LPFILETIME time) {
  time->dwLowDateTime = static_cast<DWORD>(g_now & 0xFFFFFFFFu);
  time->dwHighDateTime = static_cast<DWORD>(g_now >> 32);
}

// Value as stored in the registry: its type and bytes.
struct Stored {
  bool exists = false;
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

Stored ReadStored(const wchar_t* name) {
  Stored stored;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return stored;
  }
  BYTE buffer[64] = {};
  DWORD size = sizeof(buffer);
  if (::RegQueryValueExW(key, name, nullptr, &stored.type, buffer, &size) == ERROR_SUCCESS) {
    stored.exists = true;
    stored.bytes.assign(buffer, buffer + size);
  }
  ::RegCloseKey(key);
  return stored;
}

void Store(const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(key);
}
void StoreDword(const wchar_t* name, DWORD value) { Store(name, REG_DWORD, &value, sizeof(value)); }
void StoreQword(const wchar_t* name, std::uint64_t value) {
  Store(name, REG_QWORD, &value, sizeof(value));
}

std::vector<BYTE> Bytes(std::uint64_t value, std::size_t size) {
  std::vector<BYTE> bytes;
  for (std::size_t i = 0; i < size; ++i) {
    bytes.push_back(static_cast<BYTE>(value >> (8 * i)));
  }
  return bytes;
}

// Every key the operations open is closed again: opens and closes are counted.
int g_openKeys = 0;
LSTATUS WINAPI CountingOpen(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key);
LSTATUS WINAPI CountingCreate(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
                              REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                              LPDWORD disposition);
LSTATUS WINAPI CountingClose(HKEY key) {
  --g_openKeys;
  return ::RegCloseKey(key);
}

std::vector<REGSAM> g_openAccess;
std::vector<REGSAM> g_createAccess;
std::vector<DWORD> g_createOptions;

LSTATUS WINAPI CountingOpen(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key) {
  g_openAccess.push_back(access);
  const LSTATUS status = ::RegOpenKeyExW(root, path, options, access, key);
  if (status == ERROR_SUCCESS) {
    ++g_openKeys;
  }
  return status;
}

LSTATUS WINAPI CountingCreate(HKEY root, LPCWSTR path, DWORD reserved, LPWSTR keyClass, DWORD options,
                              REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key,
                              LPDWORD disposition) {
  g_createAccess.push_back(access);
  g_createOptions.push_back(options);
  const LSTATUS status = ::RegCreateKeyExW(root, path, reserved, keyClass, options, access,
                                           security, key, disposition);
  if (status == ERROR_SUCCESS) {
    ++g_openKeys;
  }
  return status;
}

class UpdateState : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::DeleteStateKey();
    g_now = kNow;
    g_openKeys = 0;
    g_openAccess.clear();
    g_createAccess.clear();
    g_createOptions.clear();
  }
  void TearDown() override {
    EXPECT_EQ(g_openKeys, 0) << "a key was left open";
    testing_support::DeleteStateKey();
  }

  ScopedOverride<decltype(&::GetSystemTimeAsFileTime)> clock_{
      platform::Kernel32().GetSystemTimeAsFileTime, &FixedFileTime};
  ScopedOverride<decltype(&::RegOpenKeyExW)> open_{Advapi32().RegOpenKeyExW, &CountingOpen};
  ScopedOverride<decltype(&::RegCreateKeyExW)> create_{Advapi32().RegCreateKeyExW, &CountingCreate};
  ScopedOverride<decltype(&::RegCloseKey)> close_{Advapi32().RegCloseKey, &CountingClose};
};

TEST_F(UpdateState, WithoutTheKeyACheckIsDueAndDefaultsApply) {
  EXPECT_TRUE(settings::IsUpdateCheckDue());
  std::uint32_t frequency = 99;
  EXPECT_FALSE(settings::ReadCheckFrequency(frequency));
  EXPECT_EQ(frequency, 1u);
  std::uint32_t attempts = 42;
  EXPECT_FALSE(settings::ReadUpdateAttempts(attempts));
  EXPECT_EQ(attempts, 42u);  // untouched
  EXPECT_FALSE(settings::DeleteLastUpdateCheck());
  EXPECT_FALSE(settings::DeleteUpdateAttempts());

  EXPECT_TRUE(settings::IncrementUpdateAttempts());  // creates the key
  const Stored stored = ReadStored(L"UpdateAttempts");
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(stored.bytes, Bytes(1, 4));
}

TEST_F(UpdateState, DueOnlyAfterTheWholeFrequencyHasPassed) {
  struct Case {
    std::uint32_t frequency;
    std::uint64_t last;
    bool due;
  };
  const Case cases[] = {
      {1, kNow - kFileTimeUnitsPerDay, false},      // exactly one day ago
      {1, kNow - kFileTimeUnitsPerDay - 1, true},   // one unit earlier
      {3, kNow - 3 * kFileTimeUnitsPerDay, false},
      {3, kNow - 3 * kFileTimeUnitsPerDay - 1, true},
      {2, kNow - 2 * kFileTimeUnitsPerDay - 1, true},
      {7, kNow - 3 * kFileTimeUnitsPerDay - 1, true},   // 7 reads as 3
      {0, kNow - kFileTimeUnitsPerDay - 1, true},       // 0 reads as 1
      {1, kNow + 5, false},                             // clock set back
      {1, 0, true},                                     // never checked
  };
  for (const Case& c : cases) {
    StoreDword(L"CheckFrequency", c.frequency);
    StoreQword(L"LastUpdateCheck", c.last);
    EXPECT_EQ(settings::IsUpdateCheckDue(), c.due) << c.frequency << " days, last " << c.last;
  }
}

TEST_F(UpdateState, FourByteLastUpdateCheckIsReadAsThatNumber) {
  StoreDword(L"LastUpdateCheck", 12345);
  g_now = 12345 + kFileTimeUnitsPerDay;
  EXPECT_FALSE(settings::IsUpdateCheckDue());
  g_now = 12345 + kFileTimeUnitsPerDay + 1;
  EXPECT_TRUE(settings::IsUpdateCheckDue());
}

TEST_F(UpdateState, CheckFrequencyIsClampedWhenReadAndWhenWritten) {
  const std::pair<DWORD, std::uint32_t> reads[] = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {7, 3},
                                                   {0x80000000u, 3}, {0xFFFFFFFFu, 3}};
  for (const auto& [stored, read] : reads) {
    StoreDword(L"CheckFrequency", stored);
    std::uint32_t frequency = 0;
    EXPECT_TRUE(settings::ReadCheckFrequency(frequency));
    EXPECT_EQ(frequency, read) << stored;
  }
  const std::pair<std::optional<std::uint32_t>, std::uint64_t> writes[] = {
      {5, 3}, {0, 1}, {2, 2}, {std::nullopt, 1}, {0xFFFFFFFFu, 3}};
  for (const auto& [given, stored] : writes) {
    EXPECT_TRUE(settings::WriteCheckFrequency(given));
    const Stored value = ReadStored(L"CheckFrequency");
    EXPECT_EQ(value.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value.bytes, Bytes(stored, 4));
  }
}

TEST_F(UpdateState, ValueLongerThanItsBufferIsNotRead) {
  StoreQword(L"CheckFrequency", 2);
  std::uint32_t frequency = 0;
  EXPECT_FALSE(settings::ReadCheckFrequency(frequency));
  EXPECT_EQ(frequency, 1u);
}

TEST_F(UpdateState, LastUpdateCheckIsAnEightByteFileTime) {
  EXPECT_TRUE(settings::WriteLastUpdateCheck(false));
  Stored stored = ReadStored(L"LastUpdateCheck");
  EXPECT_EQ(stored.type, static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(stored.bytes, Bytes(kNow, 8));
  EXPECT_FALSE(settings::IsUpdateCheckDue());

  EXPECT_TRUE(settings::WriteLastUpdateCheck(true));
  stored = ReadStored(L"LastUpdateCheck");
  EXPECT_EQ(stored.bytes, Bytes(0, 8));
  EXPECT_TRUE(settings::IsUpdateCheckDue());
}

TEST_F(UpdateState, AttemptsCountUpAndWrap) {
  StoreDword(L"UpdateAttempts", 6);
  EXPECT_TRUE(settings::IncrementUpdateAttempts());
  std::uint32_t attempts = 0;
  EXPECT_TRUE(settings::ReadUpdateAttempts(attempts));
  EXPECT_EQ(attempts, 7u);

  EXPECT_TRUE(settings::WriteUpdateAttempts(0xFFFFFFFFu));
  EXPECT_TRUE(settings::IncrementUpdateAttempts());
  EXPECT_TRUE(settings::ReadUpdateAttempts(attempts));
  EXPECT_EQ(attempts, 0u);
}

TEST_F(UpdateState, DeletingRemovesOnlyThatValueAndFailsWhenItIsGone) {
  EXPECT_TRUE(settings::WriteUpdateAttempts(3));
  EXPECT_TRUE(settings::WriteLastUpdateCheck(false));
  EXPECT_TRUE(settings::WriteCheckFrequency(2));
  EXPECT_TRUE(settings::DeleteUpdateAttempts());
  EXPECT_FALSE(ReadStored(L"UpdateAttempts").exists);
  EXPECT_TRUE(ReadStored(L"LastUpdateCheck").exists);
  EXPECT_FALSE(settings::DeleteUpdateAttempts());
  EXPECT_TRUE(settings::DeleteLastUpdateCheck());
  EXPECT_TRUE(settings::DeleteCheckFrequency());
  EXPECT_FALSE(settings::DeleteCheckFrequency());
}

TEST_F(UpdateState, KeyIsOpenedWithTheRightsOfEachKindOfAccess) {
  settings::WriteUpdateAttempts(1);
  std::uint32_t value = 0;
  settings::ReadUpdateAttempts(value);
  settings::DeleteUpdateAttempts();
  ASSERT_EQ(g_createAccess.size(), 1u);
  EXPECT_EQ(g_createAccess[0], static_cast<REGSAM>(KEY_SET_VALUE));
  EXPECT_EQ(g_createOptions[0], static_cast<DWORD>(REG_OPTION_NON_VOLATILE));
  const std::vector<REGSAM> expected = {KEY_READ, KEY_SET_VALUE};
  EXPECT_EQ(g_openAccess, expected);
}

LSTATUS WINAPI DeniedCreate(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                            PHKEY, LPDWORD) {
  return ERROR_ACCESS_DENIED;
}
LSTATUS WINAPI DeniedOpen(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY) { return ERROR_ACCESS_DENIED; }
LSTATUS WINAPI FailingSet(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD) { return ERROR_WRITE_FAULT; }
LSTATUS WINAPI FailingQuery(HKEY, LPCWSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
  return ERROR_INVALID_DATA;
}
LSTATUS WINAPI FailingDelete(HKEY, LPCWSTR) { return ERROR_ACCESS_DENIED; }

TEST_F(UpdateState, EachFailingRegistryCallIsReportedAsFalse) {
  StoreDword(L"UpdateAttempts", 4);
  StoreDword(L"CheckFrequency", 3);
  {
    ScopedOverride create(Advapi32().RegCreateKeyExW, &DeniedCreate);
    EXPECT_FALSE(settings::WriteUpdateAttempts(0));
    EXPECT_FALSE(settings::WriteLastUpdateCheck(true));
    EXPECT_FALSE(settings::WriteCheckFrequency(std::nullopt));
    EXPECT_FALSE(settings::IncrementUpdateAttempts());
  }
  {
    ScopedOverride set(Advapi32().RegSetValueExW, &FailingSet);  // key opened, then closed
    EXPECT_FALSE(settings::WriteUpdateAttempts(0));
  }
  {
    ScopedOverride query(Advapi32().RegQueryValueExW, &FailingQuery);
    std::uint32_t frequency = 0;
    EXPECT_FALSE(settings::ReadCheckFrequency(frequency));
    EXPECT_EQ(frequency, 1u);
    EXPECT_TRUE(settings::IsUpdateCheckDue());
    EXPECT_TRUE(settings::IncrementUpdateAttempts());  // unreadable count: writes 1
  }
  EXPECT_EQ(ReadStored(L"UpdateAttempts").bytes, Bytes(1, 4));
  {
    ScopedOverride open(Advapi32().RegOpenKeyExW, &DeniedOpen);
    std::uint32_t attempts = 9;
    EXPECT_FALSE(settings::ReadUpdateAttempts(attempts));
    EXPECT_EQ(attempts, 9u);
    EXPECT_FALSE(settings::DeleteUpdateAttempts());
  }
  {
    ScopedOverride remove(Advapi32().RegDeleteValueW, &FailingDelete);
    EXPECT_FALSE(settings::DeleteCheckFrequency());
  }
  EXPECT_TRUE(ReadStored(L"CheckFrequency").exists);
}

}  // namespace
