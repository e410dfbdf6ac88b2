#include "filesystem/listing_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "filesystem/string_vector.h"

namespace {

using settings::NarrowString;
using ZAZE::CompareListingNames;

int Sign(int value) { return (value > 0) - (value < 0); }

struct OrderCase {
  const char* a;
  const char* b;
  int expected;  // sign of CompareListingNames(a, b)
};

TEST(ListingOrder, ComparesNamesBeforeNumbersAndNumbersByValue) {
  const OrderCase cases[] = {
      {"a", "b", -1},
      {"B", "a", -1},      // bytes, case-sensitive: capitals first
      {"a", "ab", -1},     // a name before a longer one that begins with it
      {"abc", "abc", 0},
      {"-x", ".", -1},     // nothing special about names below "."
      {"z", "0", -1},      // every other name before every number
      {"1a", "2", -1},     // not all digits: a name
      {"9", "10", -1},     // numbers by value, not by bytes
      {"007", "7", 0},
      {"", "0", 0},        // the empty name is the number 0
      {"", "a", 1},
      {"z", "\xC3\xA9", -1},  // UTF-8 bytes above ASCII, compared unsigned
      {"18446744073709551616", "18446744073709551615", 1},  // beyond 64 bits
      {"99999999999999999999999", "100000000000000000000000", -1},
      {"000000000000000000000000012", "13", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(CompareListingNames(c.a, c.b)), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(CompareListingNames(c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
  }
}

std::vector<std::string> Names(const ZAZE::StringVector& vector) {
  std::vector<std::string> names;
  for (std::uint32_t i = 0; i < vector.Count(); ++i) {
    names.push_back(vector.At(i).str());
  }
  return names;
}

std::vector<std::string> Sorted(const std::vector<std::string>& input) {
  ZAZE::StringVector vector;
  for (const auto& name : input) {
    vector.Add(NarrowString(name));
  }
  vector.Sort(&ZAZE::ListingNameLess);
  return Names(vector);
}

TEST(ListingOrder, SortsAFolderListing) {
  EXPECT_EQ(Sorted({"b", "a", "10", "9", "B"}), (std::vector<std::string>{"B", "a", "b", "9", "10"}));
  EXPECT_EQ(Sorted({"2", "-x", "readme.txt", "1", ".config"}),
            (std::vector<std::string>{"-x", ".config", "readme.txt", "1", "2"}));
  EXPECT_EQ(Sorted({}), std::vector<std::string>{});
  EXPECT_EQ(Sorted({"only"}), std::vector<std::string>{"only"});
}

// The sort against a reference on many inputs: the result must be ordered and
// hold exactly the names given. Short names from a small alphabet give many
// ties (7, 07, 007) and many numbers; sorted, reversed and constant inputs are
// the classic quicksort traps.
TEST(ListingOrder, SortOrdersEveryInputAndKeepsEveryName) {
  std::mt19937 random(20261211);
  const std::string alphabet = "0079aAbZ-.";
  std::vector<std::vector<std::string>> inputs;
  for (std::size_t size : {2u, 3u, 5u, 10u, 11u, 64u, 257u, 1000u}) {
    for (int round = 0; round < 20; ++round) {
      std::vector<std::string> names(size);
      for (auto& name : names) {
        const std::size_t length = random() % 4;
        for (std::size_t i = 0; i < length; ++i) {
          name += alphabet[random() % alphabet.size()];
        }
      }
      inputs.push_back(names);
    }
  }
  std::vector<std::string> ascending;
  for (int i = 0; i < 5000; ++i) {
    ascending.push_back(std::to_string(i));
  }
  inputs.push_back(ascending);
  inputs.emplace_back(ascending.rbegin(), ascending.rend());
  inputs.emplace_back(100000, "same");

  for (const auto& input : inputs) {
    const auto sorted = Sorted(input);
    ASSERT_EQ(sorted.size(), input.size());
    for (std::size_t i = 1; i < sorted.size(); ++i) {
      ASSERT_LE(CompareListingNames(NarrowString(sorted[i - 1]), NarrowString(sorted[i])), 0) << sorted[i - 1] << " before " << sorted[i];
    }
    auto expected = input;
    auto actual = sorted;
    std::sort(expected.begin(), expected.end());
    std::sort(actual.begin(), actual.end());
    ASSERT_EQ(actual, expected);
  }
}

}  // namespace
