#include "update/version_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using update::CompareVersions;
using update::VersionNumber;

VersionNumber Read(const std::wstring& text) {
  return update::ParseVersionText(text.data(), text.data() + text.size());
}

std::string Show(const VersionNumber& v) {
  return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.buildMajor) +
         "." + std::to_string(v.buildMinor);
}

TEST(VersionText, SegmentsToFourNumbers) {
  struct Case {
    const wchar_t* text;
    const char* version;
  };
  const Case cases[] = {
      {L"3.5.100.20", "3.5.100.20"},
      {L"3.5", "3.5.0.0"},
      {L"3", "3.0.0.0"},
      {L"", "0.0.0.0"},
      {L"3.5.100.20.", "0.0.0.0"},  // five segments: not installed
      {L"1.2.3.4.5", "0.0.0.0"},
      {L"3,5,100,20", "3.0.0.0"},   // commas: one segment, read up to the first comma
      {L".5..7", "0.5.0.7"},        // empty segments are 0
      {L" 3. 5.+100.-1", "3.5.100.4294967295"},
      {L"3.5.100.99999999999", "3.5.100.4294967295"},
      {L"11.2.202.7 (release)", "11.2.202.7"},
      {L"v11.2", "0.2.0.0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Show(Read(c.text)), c.version);
  }
}

TEST(VersionOrder, LexicographicOverTheFourNumbers) {
  const VersionNumber installed{3, 5, 100, 20};
  EXPECT_EQ(CompareVersions({3, 5, 100, 27}, installed), 1);
  EXPECT_EQ(CompareVersions({3, 5, 100, 20}, installed), 0);
  EXPECT_EQ(CompareVersions({3, 4, 999, 999}, installed), -1);
  EXPECT_EQ(CompareVersions({10, 0, 0, 0}, {9, 999, 999, 999}), 1);
  EXPECT_EQ(CompareVersions({0, 0, 0, 0}, {0, 0, 0, 1}), -1);
  EXPECT_EQ(CompareVersions({4294967295u, 0, 0, 0}, {1, 4294967295u, 0, 0}), 1);  // unsigned
  EXPECT_EQ(CompareVersions({1, 2, 3, 4}, {1, 2, 4, 0}), -1);
}

}  // namespace
