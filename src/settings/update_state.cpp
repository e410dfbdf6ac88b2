#include "settings/update_state.h"

#include <windows.h>

#include "platform/advapi32_api.h"
#include "platform/handles.h"
#include "platform/kernel32_api.h"

namespace settings {
namespace {

constexpr const wchar_t kStateKey[] = L"SOFTWARE\\Stelvan\\NimbraPlayer";
constexpr const wchar_t kLastUpdateCheck[] = L"LastUpdateCheck";
constexpr const wchar_t kCheckFrequency[] = L"CheckFrequency";
constexpr const wchar_t kUpdateAttempts[] = L"UpdateAttempts";

std::uint64_t NowAsFileTime() {
  FILETIME now{};
  platform::Kernel32().GetSystemTimeAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

platform::UniqueRegistryKey OpenExisting(REGSAM access) {
  HKEY key = nullptr;
  if (platform::Advapi32().RegOpenKeyExW(HKEY_LOCAL_MACHINE, kStateKey, 0, access, &key) !=
      ERROR_SUCCESS) {
    return platform::UniqueRegistryKey();
  }
  return platform::UniqueRegistryKey(key);
}

platform::UniqueRegistryKey CreateOrOpenForWriting() {
  HKEY key = nullptr;
  if (platform::Advapi32().RegCreateKeyExW(HKEY_LOCAL_MACHINE, kStateKey, 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                                           nullptr) != ERROR_SUCCESS) {
    return platform::UniqueRegistryKey();
  }
  return platform::UniqueRegistryKey(key);
}

// Reads a value into a buffer of the expected size that starts as zero: the
// recorded type is not checked, so a shorter value leaves the high bytes zero
// and a longer one is not read at all.
template <typename Number>
bool ReadValue(const wchar_t* name, Number& number) {
  const platform::UniqueRegistryKey key = OpenExisting(KEY_READ);
  if (!key) {
    return false;
  }
  Number buffer = 0;
  DWORD size = sizeof(buffer);
  if (platform::Advapi32().RegQueryValueExW(key.get(), name, nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(&buffer), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  number = buffer;
  return true;
}

template <typename Number>
bool WriteValue(const wchar_t* name, DWORD type, Number number) {
  const platform::UniqueRegistryKey key = CreateOrOpenForWriting();
  if (!key) {
    return false;
  }
  return platform::Advapi32().RegSetValueExW(key.get(), name, 0, type,
                                             reinterpret_cast<const BYTE*>(&number),
                                             sizeof(number)) == ERROR_SUCCESS;
}

bool DeleteValue(const wchar_t* name) {
  const platform::UniqueRegistryKey key = OpenExisting(KEY_SET_VALUE);
  if (!key) {
    return false;
  }
  return platform::Advapi32().RegDeleteValueW(key.get(), name) == ERROR_SUCCESS;
}

}  // namespace

std::uint32_t ClampCheckFrequency(std::uint32_t frequency) {
  if (frequency == 0) {
    return 1;
  }
  return frequency > 3 ? 3 : frequency;
}

bool IsUpdateCheckDue() {
  const std::uint64_t now = NowAsFileTime();
  std::uint64_t last = 0;
  ReadValue(kLastUpdateCheck, last);
  std::uint32_t frequency = 1;
  ReadCheckFrequency(frequency);
  // Unsigned 64-bit arithmetic throughout: a last check in the future is not
  // due until now has passed it by the whole frequency.
  const std::uint64_t next = last + frequency * kFileTimeUnitsPerDay;
  return next < now;
}

bool WriteLastUpdateCheck(bool reset) {
  const std::uint64_t value = reset ? 0 : NowAsFileTime();
  return WriteValue(kLastUpdateCheck, REG_QWORD, value);
}

bool ReadCheckFrequency(std::uint32_t& frequency) {
  std::uint32_t stored = 0;
  const bool read = ReadValue(kCheckFrequency, stored);
  frequency = ClampCheckFrequency(read ? stored : 1);
  return read;
}

bool WriteCheckFrequency(std::optional<std::uint32_t> frequency) {
  const std::uint32_t value = frequency ? ClampCheckFrequency(*frequency) : 1;
  return WriteValue(kCheckFrequency, REG_DWORD, value);
}

bool ReadUpdateAttempts(std::uint32_t& attempts) { return ReadValue(kUpdateAttempts, attempts); }

bool WriteUpdateAttempts(std::uint32_t attempts) {
  return WriteValue(kUpdateAttempts, REG_DWORD, attempts);
}

bool IncrementUpdateAttempts() {
  std::uint32_t count = 0;
  const std::uint32_t next = ReadUpdateAttempts(count) ? count + 1 : 1;  // wraps modulo 2^32
  return WriteUpdateAttempts(next);
}

bool DeleteUpdateAttempts() { return DeleteValue(kUpdateAttempts); }
bool DeleteLastUpdateCheck() { return DeleteValue(kLastUpdateCheck); }
bool DeleteCheckFrequency() { return DeleteValue(kCheckFrequency); }

}  // namespace settings
