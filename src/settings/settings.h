#pragma once

#include <cstdint>
#include <string>

#include "settings/narrow_string.h"

namespace settings {

// The built-in update hosts: the primary one serves the version manifest, the
// secondary one the installer packages. "SilentAutoUpdateServerDomain" in the
// configuration file replaces both.
inline constexpr const wchar_t kPrimaryUpdateHost[] = L"updates.nimbraplayer.test";
inline constexpr const wchar_t kSecondaryUpdateHost[] = L"download.nimbraplayer.test";
static_assert(sizeof(kPrimaryUpdateHost) / sizeof(wchar_t) - 1 == 25, "primary host: 25 characters");
static_assert(sizeof(kSecondaryUpdateHost) / sizeof(wchar_t) - 1 == 26, "secondary host: 26 characters");

// The configuration keys.
inline constexpr const char kVerboseLoggingKey[] = "SilentAutoUpdateVerboseLogging";
inline constexpr const char kServerDomainKey[] = "SilentAutoUpdateServerDomain";
inline constexpr const char kAutoUpdateDisableKey[] = "AutoUpdateDisable";
inline constexpr const char kSilentAutoUpdateEnableKey[] = "SilentAutoUpdateEnable";

// Process-wide settings, loaded once by the service run (a command run keeps
// the start values) and only read afterwards.
extern bool AutoUpdateDisabled;
extern bool SilentAutoUpdateEnabled;
extern bool RunningUnderWow64;
extern std::wstring ManifestHost;  // from process start: the primary built-in host
extern std::wstring PackageHost;   // from process start: the secondary built-in host

enum class AutoUpdateMode : std::int32_t {
  Silent = 0,
  Notify = 1,
  Disable = 2,
};

// The system folder followed by "\Kesvar\Nimbra\qvs.cfg", as UTF-8; worked out
// once and kept for the process. Empty when the conversion failed (the next
// call tries again).
const NarrowString& GetConfigFilePath();

// Reads the configuration file into VerboseLogging, the hosts and the two
// flags. False only when memory ran out.
bool LoadSettings();

// Rewrites the two mode keys, keeping every other key of the file. True when
// the file was written.
bool SetAutoUpdateMode(AutoUpdateMode mode);

// "SilentAutoUpdateEnable" of the file as it is now.
bool IsSilentAutoUpdateEnabled();

std::wstring GetManifestHost();
std::wstring GetPackageHost();

}  // namespace settings
