#include "update/installed_version.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

using update::ComponentVersion;
using update::PlayerFlavour;
using update::VersionNumber;

constexpr const wchar_t kActiveXKey[] = L"Software\\Stelvan\\NimbraPlayerActiveX";
constexpr const wchar_t kPluginKey[] = L"Software\\Stelvan\\NimbraPlayerPlugin";

void SetValue(const wchar_t* keyPath, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  ::RegCloseKey(key);
}

void SetText(const wchar_t* keyPath, const std::wstring& text) {
  SetValue(keyPath, L"Version", REG_SZ, text.c_str(),
           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetDebugger(const wchar_t* keyPath, DWORD value) {
  SetValue(keyPath, L"isScriptDebugger", REG_DWORD, &value, sizeof(value));
}

std::string Show(const VersionNumber& v) {
  return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.buildMajor) +
         "." + std::to_string(v.buildMinor);
}

std::string Installed(PlayerFlavour flavour) { return Show(update::ReadInstalledVersion(flavour)); }

class InstalledVersion : public ::testing::Test {
 protected:
  void SetUp() override { DeleteKeys(); }
  void TearDown() override { DeleteKeys(); }
  static void DeleteKeys() {
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kActiveXKey);
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPluginKey);
  }
};

TEST_F(InstalledVersion, VersionTextsAsTheInstallersWriteThem) {
  struct Case {
    const wchar_t* text;
    const char* version;
  };
  const Case cases[] = {
      {L"3.5.100.20", "3.5.100.20"}, {L"3.5", "3.5.0.0"},          {L"3.5.100.20.", "0.0.0.0"},
      {L"1.2.3.4.5", "0.0.0.0"},     {L"3,5,100,20", "3.0.0.0"},   {L"", "0.0.0.0"},
      {L"11.2.202.235", "11.2.202.235"},
  };
  for (const Case& c : cases) {
    SetText(kActiveXKey, c.text);
    EXPECT_EQ(Installed(PlayerFlavour::ActiveX), c.version);
  }
}

TEST_F(InstalledVersion, EachFlavourHasItsOwnKey) {
  SetText(kActiveXKey, L"1.2.3.4");
  SetText(kPluginKey, L"5.6.7.8");
  EXPECT_EQ(Installed(PlayerFlavour::ActiveX), "1.2.3.4");
  EXPECT_EQ(Installed(PlayerFlavour::Plugin), "5.6.7.8");
  EXPECT_EQ(Installed(static_cast<PlayerFlavour>(3)), "0.0.0.0");
}

TEST_F(InstalledVersion, DebuggerBuildCountsAsNotInstalled) {
  SetText(kPluginKey, L"3.5.100.20");
  SetDebugger(kPluginKey, 1);
  EXPECT_EQ(Installed(PlayerFlavour::Plugin), "0.0.0.0");
  SetDebugger(kPluginKey, 0);
  EXPECT_EQ(Installed(PlayerFlavour::Plugin), "3.5.100.20");
  const std::wstring asText = L"1";  // the type is not looked at: bytes 31 00 are not 0
  SetValue(kPluginKey, L"isScriptDebugger", REG_SZ, asText.c_str(), 4);
  EXPECT_EQ(Installed(PlayerFlavour::Plugin), "0.0.0.0");
}

TEST_F(InstalledVersion, MissingKeyOrValueIsNotInstalled) {
  EXPECT_EQ(Installed(PlayerFlavour::ActiveX), "0.0.0.0");
  SetDebugger(kActiveXKey, 0);  // key present, "Version" absent
  EXPECT_EQ(Installed(PlayerFlavour::ActiveX), "0.0.0.0");
}

TEST_F(InstalledVersion, ValueBeyond1024BytesIsNotRead) {
  SetText(kActiveXKey, L"1.2.3.4" + std::wstring(504, L' '));  // 512 units with the terminator
  EXPECT_EQ(Installed(PlayerFlavour::ActiveX), "1.2.3.4");
  // 512 units without a terminator: the text ends with the data. (Stored as
  // REG_BINARY: for a REG_SZ Wine wants room to add the terminator.)
  const std::wstring full = L"1.2.3.4" + std::wstring(505, L'x');
  SetValue(kActiveXKey, L"Version", REG_BINARY, full.c_str(), 1024);
  EXPECT_EQ(Installed(PlayerFlavour::ActiveX), "1.2.3.4");
  SetText(kActiveXKey, L"1.2.3.4" + std::wstring(505, L' '));  // 1026 bytes
  EXPECT_EQ(Installed(PlayerFlavour::ActiveX), "0.0.0.0");
}

TEST_F(InstalledVersion, VersionStoredWithAnotherTypeIsReadAsCodeUnits) {
  const DWORD number = 3;
  SetValue(kActiveXKey, L"Version", REG_DWORD, &number, sizeof(number));
  EXPECT_EQ(Installed(PlayerFlavour::ActiveX), "0.0.0.0");  // code units 3, 0: no digits
  const std::wstring text = L"3.5";
  SetValue(kActiveXKey, L"Version", REG_BINARY, text.c_str(), 6);  // no terminator
  EXPECT_EQ(Installed(PlayerFlavour::ActiveX), "3.5.0.0");
}

TEST_F(InstalledVersion, UpdateNeededOnlyForANewerVersionOfAnInstalledFlavour) {
  SetText(kActiveXKey, L"3.5.100.20");
  struct Case {
    VersionNumber available;
    bool needed;
  };
  const Case cases[] = {
      {{3, 5, 100, 27}, true},  {{3, 5, 100, 20}, false}, {{3, 4, 999, 999}, false},
      {{10, 0, 0, 0}, true},    {{0, 0, 0, 0}, false},    {{4, 0, 0, 0}, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(update::IsUpdateNeeded(ComponentVersion{c.available, PlayerFlavour::ActiveX}), c.needed)
        << Show(c.available);
  }
  // The plug-in is not installed: never an update, however new.
  EXPECT_FALSE(update::IsUpdateNeeded(ComponentVersion{{99, 0, 0, 0}, PlayerFlavour::Plugin}));
  SetText(kPluginKey, L"9.999.999.999");
  EXPECT_TRUE(update::IsUpdateNeeded(ComponentVersion{{10, 0, 0, 0}, PlayerFlavour::Plugin}));
  SetDebugger(kPluginKey, 7);
  EXPECT_FALSE(update::IsUpdateNeeded(ComponentVersion{{10, 0, 0, 0}, PlayerFlavour::Plugin}));
}

}  // namespace
