#include "settings/settings.h"

#include <memory>
#include <new>

#include "logging/log.h"
#include "settings/config_file.h"
#include "settings/utf8_text.h"

namespace settings {

bool AutoUpdateDisabled = false;
bool SilentAutoUpdateEnabled = false;
bool RunningUnderWow64 = false;
std::wstring ManifestHost = kPrimaryUpdateHost;
std::wstring PackageHost = kSecondaryUpdateHost;

using logging::MessageCode;

namespace {

// A configured domain replaces both hosts; a host that stays empty falls back
// to its built-in value.
void ApplyServerDomain(const NarrowString& domain) {
  if (!Utf8ToWide(domain, PackageHost)) {
    logging::LogLastError(MessageCode::PackageHostConversionFailed);
  }
  if (!Utf8ToWide(domain, ManifestHost)) {
    logging::LogLastError(MessageCode::ManifestHostConversionFailed);
  }
  if (!PackageHost.empty()) {
    logging::LogCodeText(MessageCode::PackageHostConfigured, PackageHost);
  } else {
    PackageHost = kSecondaryUpdateHost;
  }
  if (!ManifestHost.empty()) {
    logging::LogCodeText(MessageCode::ManifestHostConfigured, ManifestHost);
  } else {
    ManifestHost = kPrimaryUpdateHost;
  }
}

}  // namespace

bool LoadSettings() {
  try {
    const auto file = std::make_unique<ConfigFile>(GetConfigFilePath());

    // First, so the lines below are written or suppressed by it. Nothing
    // switches verbose logging off again.
    if (ParseBool(file->Get(kVerboseLoggingKey))) {
      logging::VerboseLogging = true;
    }

    const NarrowString domain = file->Get(kServerDomainKey);
    if (!domain.empty()) {
      ApplyServerDomain(domain);
    }

    AutoUpdateDisabled = ParseBool(file->Get(kAutoUpdateDisableKey));
    logging::LogCode(AutoUpdateDisabled ? MessageCode::AutoUpdateDisabledOn
                                        : MessageCode::AutoUpdateDisabledOff);

    SilentAutoUpdateEnabled = ParseBool(file->Get(kSilentAutoUpdateEnableKey));
    logging::LogCode(SilentAutoUpdateEnabled ? MessageCode::SilentAutoUpdateEnabledOn
                                             : MessageCode::SilentAutoUpdateEnabledOff);
    return true;
  } catch (const std::bad_alloc&) {
    logging::LogCode(MessageCode::LoadSettingsOutOfMemory);
    return false;
  }
}

std::wstring GetManifestHost() { return ManifestHost; }
std::wstring GetPackageHost() { return PackageHost; }

}  // namespace settings
