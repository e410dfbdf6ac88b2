#pragma once

#include <cstdint>
#include <optional>

namespace settings {

// The update bookkeeping under HKEY_LOCAL_MACHINE\SOFTWARE\Stelvan\NimbraPlayer
// (for this 32-bit program, the 32-bit view of the registry):
//   "LastUpdateCheck"  REG_QWORD  UTC file time of the last completed check, 0 = never
//   "CheckFrequency"   REG_DWORD  days between checks, clamped to 1..3
//   "UpdateAttempts"   REG_DWORD  update attempts since the last reset
// Every operation opens the key, touches one value and closes it again; none
// logs, and each reports success as a boolean.

inline constexpr std::uint64_t kFileTimeUnitsPerDay = 864000000000ULL;

// True when the last check plus the frequency in days lies strictly before now.
bool IsUpdateCheckDue();

bool WriteLastUpdateCheck(bool reset);                      // 0 when reset, else now
bool ReadCheckFrequency(std::uint32_t& frequency);          // 1 when unreadable; clamped
bool WriteCheckFrequency(std::optional<std::uint32_t> frequency);  // 1 when none; clamped
bool ReadUpdateAttempts(std::uint32_t& attempts);           // untouched when unreadable
bool WriteUpdateAttempts(std::uint32_t attempts);
bool IncrementUpdateAttempts();                             // stored + 1, or 1
bool DeleteUpdateAttempts();
bool DeleteLastUpdateCheck();
bool DeleteCheckFrequency();

// 0 becomes 1; anything above 3 becomes 3.
std::uint32_t ClampCheckFrequency(std::uint32_t frequency);

}  // namespace settings
