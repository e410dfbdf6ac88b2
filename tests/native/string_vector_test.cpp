#include "filesystem/string_vector.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "filesystem/pointer_vector.h"

namespace {

using settings::NarrowString;

TEST(StringVector, GrowsFromTenToTwentyToFortySlotsKeepingItsNames) {
  ZAZE::StringVector names;
  EXPECT_EQ(names.Count(), 0u);
  EXPECT_EQ(names.Capacity(), 10u);
  std::vector<std::uint32_t> capacityAfterEachAdd;
  for (int i = 0; i < 25; ++i) {
    EXPECT_TRUE(names.Add(NarrowString(std::to_string(i))));
    capacityAfterEachAdd.push_back(names.Capacity());
  }
  EXPECT_EQ(capacityAfterEachAdd[9], 10u);
  EXPECT_EQ(capacityAfterEachAdd[10], 20u);
  EXPECT_EQ(capacityAfterEachAdd[19], 20u);
  EXPECT_EQ(capacityAfterEachAdd[20], 40u);
  ASSERT_EQ(names.Count(), 25u);
  for (std::uint32_t i = 0; i < names.Count(); ++i) {
    EXPECT_EQ(names.At(i).str(), std::to_string(i));
  }
}

TEST(StringVector, OwnsCopiesOfWhatWasAdded) {
  ZAZE::StringVector names;
  {
    const NarrowString temporary("gone after this scope");
    names.Add(temporary);
    EXPECT_NE(&names.At(0), &temporary);
  }
  EXPECT_EQ(names.At(0).str(), "gone after this scope");
  // The copies are freed with the vector; the sanitizer's leak check fails
  // the run if any is not.
}

// Elements are ints; CloneElement throws on demand, as an allocation would.
class FailingCloneVector : public SMImplementation::PointerVector {
 public:
  ~FailingCloneVector() override {
    for (std::uint32_t i = 0; i < Count(); ++i) {
      DestroyElement(Element(i));
    }
  }
  void DestroyElement(void* element) override { delete static_cast<int*>(element); }
  void* CloneElement(const void* element) override {
    if (failNextClone) {
      failNextClone = false;
      throw std::bad_alloc();
    }
    return new int(*static_cast<const int*>(element));
  }
  bool failNextClone = false;
};

TEST(PointerVector, ACloneThatRunsOutOfMemoryLeavesTheVectorAsItWas) {
  FailingCloneVector vector;
  for (int i = 0; i < 10; ++i) {
    vector.Add(&i);
  }
  vector.failNextClone = true;
  const int eleventh = 10;
  EXPECT_THROW(vector.Add(&eleventh), std::bad_alloc);
  ASSERT_EQ(vector.Count(), 10u);
  for (std::uint32_t i = 0; i < vector.Count(); ++i) {
    EXPECT_EQ(*static_cast<int*>(vector.Element(i)), static_cast<int>(i));
  }
  EXPECT_TRUE(vector.Add(&eleventh));
  EXPECT_EQ(*static_cast<int*>(vector.Element(10)), 10);
}

}  // namespace
