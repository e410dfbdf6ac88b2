// libFuzzer target over the version manifest parser and the number and
// version-text conversions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "update/manifest_parser.h"
#include "update/unsigned_decimal.h"
#include "update/version_text.h"

namespace {

void Require(bool condition) {
  if (!condition) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);  // zero-terminated copy

  // The parser works in place and only up to the first zero.
  std::unique_ptr<update::ComponentVersion> activeX;
  std::unique_ptr<update::ComponentVersion> plugin;
  std::unique_ptr<update::SAUConfig> config;
  const bool parsed = update::ParseVersionManifest(text.data(), activeX, plugin, config);
  Require(parsed == (activeX != nullptr));
  Require(parsed == (plugin != nullptr));
  Require(parsed == (config != nullptr));
  if (parsed) {
    Require(activeX->flavour == update::PlayerFlavour::ActiveX);
    Require(plugin->flavour == update::PlayerFlavour::Plugin);
  }

  // The conversions over the raw bytes, narrow and as UTF-16-like units.
  const char* bytes = reinterpret_cast<const char*>(data);
  update::ParseUnsignedDecimal(bytes, bytes + size);
  std::wstring wide;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    wide.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  }
  const update::VersionNumber version = update::ParseVersionText(wide.data(), wide.data() + wide.size());
  Require(update::CompareVersions(version, version) == 0);
  return 0;
}
