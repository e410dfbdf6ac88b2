#include "logging/message_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

namespace {

using logging::FindMessageCode;
using logging::LevelOf;
using logging::LogLevel;
using logging::MessageCode;

TEST(MessageCodes, CatalogueIsAscendingUniqueAndInsideTheThreeGroups) {
  std::set<std::string> names;
  std::int32_t previous = 0;
  for (const auto* entry = logging::MessageCodesBegin(); entry != logging::MessageCodesEnd(); ++entry) {
    EXPECT_GT(entry->number, previous) << entry->name;
    previous = entry->number;
    const bool inGroup = (entry->number >= 1200 && entry->number <= 1304) ||
                         (entry->number >= 1400 && entry->number <= 1427) ||
                         (entry->number >= 1600 && entry->number <= 1629);
    EXPECT_TRUE(inGroup) << entry->number;
    EXPECT_TRUE(names.insert(entry->name).second) << "duplicate name " << entry->name;
    EXPECT_GT(std::strlen(entry->meaning), 10u) << entry->name;
  }
  EXPECT_EQ(logging::MessageCodesEnd() - logging::MessageCodesBegin(), 156);
}

TEST(MessageCodes, LevelFollowsTheGroup) {
  EXPECT_EQ(LevelOf(MessageCode::DownloadUnknownFlavour), LogLevel::Error);      // 1200
  EXPECT_EQ(LevelOf(MessageCode::ReconfigureOpenServiceFailed), LogLevel::Error);  // 1304
  EXPECT_EQ(LevelOf(MessageCode::ManifestSessionFailed), LogLevel::Warning);    // 1400
  EXPECT_EQ(LevelOf(MessageCode::ReconfigureFailed), LogLevel::Warning);        // 1427
  EXPECT_EQ(LevelOf(MessageCode::ActiveXDownloadStarted), LogLevel::Info);      // 1600
  EXPECT_EQ(LevelOf(MessageCode::DispatcherUnavailable), LogLevel::Info);       // 1619
  EXPECT_EQ(LevelOf(MessageCode::ManifestHostConfigured), LogLevel::Info);      // 1629
}

TEST(MessageCodes, LookupByNumber) {
  const auto* entry = FindMessageCode(1219);
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry->name, "CreateOpenScmFailed");
  EXPECT_EQ(FindMessageCode(1202), nullptr);  // a gap in the numbering
  EXPECT_EQ(FindMessageCode(0), nullptr);
  EXPECT_EQ(FindMessageCode(99999), nullptr);
  EXPECT_NE(FindMessageCode(1629), nullptr);
}

}  // namespace
