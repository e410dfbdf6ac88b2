#pragma once

#include <cstdint>

namespace update {

// The two builds of the player. No other value is ever produced; any other
// value counts as not installed and cannot be downloaded.
enum class PlayerFlavour : std::uint32_t {
  ActiveX = 1,
  Plugin = 2,
};

// A version in four unsigned numbers; 0.0.0.0 means "no version".
struct VersionNumber {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t buildMajor = 0;
  std::uint32_t buildMinor = 0;

  bool IsNone() const { return major == 0 && minor == 0 && buildMajor == 0 && buildMinor == 0; }
};

// One entry of the version manifest.
struct ComponentVersion {
  VersionNumber version;
  PlayerFlavour flavour = PlayerFlavour::ActiveX;
};

// What the update server advises: days between two checks (stored as given;
// the registry clamps it to 1..3).
struct SAUConfig {
  std::uint32_t checkFrequency = 0;
};

// Lexicographic over major, minor, buildMajor, buildMinor: 1 when a is
// greater, -1 when smaller, 0 when equal.
int CompareVersions(const VersionNumber& a, const VersionNumber& b);

}  // namespace update
