#include "logging/code_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <locale>

namespace {

TEST(CodeText, DecimalWithoutPaddingOrGrouping) {
  struct Case {
    std::int32_t value;
    const wchar_t* text;
  };
  const Case cases[] = {
      {0, L"0"},          {-1, L"-1"},          {1001, L"1001"},
      {1234567, L"1234567"}, {INT32_MAX, L"2147483647"}, {INT32_MIN, L"-2147483648"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(logging::CodeText(c.value), c.text) << c.value;
  }
}

TEST(CodeText, UnsignedSystemValuesPrintAsTheirSigned32Bits) {
  EXPECT_EQ(logging::CodeText(static_cast<std::int32_t>(0x80070002u)), L"-2147024894");
  EXPECT_EQ(logging::CodeText(static_cast<std::int32_t>(0xFFFFFFFFu)), L"-1");
}

// A process locale with digit grouping must not leak into the log.
struct Thousands : std::numpunct<wchar_t> {
  wchar_t do_thousands_sep() const override { return L','; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(CodeText, IgnoresTheGlobalLocale) {
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Thousands));
  const std::wstring text = logging::CodeText(1234567);
  std::locale::global(previous);
  EXPECT_EQ(text, L"1234567");
}

}  // namespace
