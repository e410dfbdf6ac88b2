#include "settings/config_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using settings::ConfigFile;
using settings::NarrowString;
using settings::ParseBool;
using settings::StringTable;

using Pairs = std::vector<std::pair<std::string, std::string>>;

// The table in list order.
Pairs Entries(const StringTable& table) {
  Pairs pairs;
  for (const auto* e = table.First(); e != table.EndMarker(); e = e->next) {
    pairs.emplace_back(e->key.str(), e->value.str());
  }
  return pairs;
}

Pairs Parse(const std::string& bytes) {
  StringTable table;
  settings::ParseConfigBytes(bytes, table);
  return Entries(table);
}

class ScratchFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    folder_ = fs::temp_directory_path() / ("nimbra-native-" + std::to_string(random()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  NarrowString PathOf(const std::string& name) const { return NarrowString((folder_ / name).string()); }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(PathOf(name).str(), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(PathOf(name).str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  fs::path folder_;
};

TEST(StringTable, BucketIsTheSignedByteSumModulo16) {
  EXPECT_EQ(StringTable::BucketOf("AutoUpdateDisable"), 0u);
  EXPECT_EQ(StringTable::BucketOf("SilentAutoUpdateEnable"), 2u);
  EXPECT_EQ(StringTable::BucketOf("SilentAutoUpdateVerboseLogging"), 8u);
  EXPECT_EQ(StringTable::BucketOf("SilentAutoUpdateServerDomain"), 10u);
  EXPECT_EQ(StringTable::BucketOf("ab"), StringTable::BucketOf("ba"));
  EXPECT_EQ(StringTable::BucketOf(""), 0u);
  // -1 + 1 = 0, where unsigned bytes would give 0x100: the same bucket.
  EXPECT_EQ(StringTable::BucketOf("\xFF\x01"), 0u);
  EXPECT_EQ(StringTable::BucketOf("\x80"), 0u);  // -128 as unsigned 32 bits, modulo 16
  EXPECT_EQ(StringTable::BucketOf(std::string(100000, '\xFF').c_str()), (100000u * 255u) % 16u);
}

TEST(ConfigReader, ByteLevelCases) {
  struct Case {
    const char* what;
    std::string bytes;
    Pairs expected;
  };
  const std::string bom = "\xEF\xBB\xBF";
  const Case cases[] = {
      {"three bytes are too short", "a=1", {}},
      {"four bytes are read", "a=1\n", {{"a", "1"}}},
      {"UTF-8 byte-order mark is skipped", bom + "k=v", {{"k", "v"}}},
      {"UTF-16 LE byte-order mark reads as empty", std::string("\xFF\xFEk\0=\0v\0", 8), {}},
      {"UTF-16 BE byte-order mark reads as empty", std::string("\xFE\xFF\0k\0=\0v", 8), {}},
      {"blanks around key and value", "  key  =  some value  \n", {{"key", "some value"}}},
      {"tabs and control bytes are blanks", "\tkey\x01=\x1F value\x7F\r\n", {{"key", "value"}}},
      {"bytes above 0x7F are kept", "k\xC3\xA9=\xC3\xA9\n", {{"k\xC3\xA9", "\xC3\xA9"}}},
      {"first equals sign splits", "k=a=b\n", {{"k", "a=b"}}},
      {"empty value ignored", "key=\nkey2=   \n", {}},
      {"empty key ignored", "=value\n   =   \n", {}},
      {"line without equals ignored", "# comment\nplain\n", {}},
      {"no comment syntax", "#x=1\n", {{"#x", "1"}}},
      {"CR LF", "x=1\r\ny=2", {{"x", "1"}, {"y", "2"}}},
      {"lone CR", "x=1\ry=2", {{"x", "1"}, {"y", "2"}}},
      {"LF", "x=1\ny=2", {{"x", "1"}, {"y", "2"}}},
      {"LF CR is two line ends", "x=1\n\ry=2", {{"x", "1"}, {"y", "2"}}},
      {"NUL ends the line's text", std::string("k=ab\0cd\nz=1\n", 12), {{"z", "1"}, {"k", "ab"}}},  // buckets 10, 11
      {"NUL before the equals sign", std::string("k\0=1\n", 5), {}},
      {"last value wins", "k=1\nk=2\n", {{"k", "2"}}},
      {"keys are case-sensitive", "Key=1\nkey=2\n", {{"key", "2"}, {"Key", "1"}}},
      {"empty last line", "a=1\n\n", {{"a", "1"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Parse(c.bytes), c.expected) << c.what;
  }
}

TEST(ConfigReader, LineOfManyKilobytesIsReadWhole) {
  const std::string value(20000, 'v');
  const std::string key(5000, 'k');
  EXPECT_EQ(Parse(key + "=" + value + "\r\nz=1"), (Pairs{{key, value}, {"z", "1"}}));
  StringTable table;
  settings::ParseConfigBytes(key + "=" + value + "\r\nz=1", table);
  EXPECT_EQ(table.Get(NarrowString(key.c_str())).str(), value);
  EXPECT_EQ(table.Get("z").str(), "1");
}

TEST(ConfigWriter, ListOrderIsAscendingBucketsNewestKeyFirst) {
  struct Case {
    std::vector<const char*> insertionOrder;
    std::string written;
  };
  const Case cases[] = {
      {{"SilentAutoUpdateEnable", "AutoUpdateDisable"},
       "AutoUpdateDisable=v\r\nSilentAutoUpdateEnable=v\r\n"},
      {{"AutoUpdateDisable", "SilentAutoUpdateEnable"},
       "AutoUpdateDisable=v\r\nSilentAutoUpdateEnable=v\r\n"},
      {{"ab", "ba"}, "ba=v\r\nab=v\r\n"},  // bucket 3: newest first
      {{"SilentAutoUpdateServerDomain", "SilentAutoUpdateVerboseLogging", "SilentAutoUpdateEnable",
        "AutoUpdateDisable"},
       "AutoUpdateDisable=v\r\nSilentAutoUpdateEnable=v\r\nSilentAutoUpdateVerboseLogging=v\r\n"
       "SilentAutoUpdateServerDomain=v\r\n"},
      // Higher bucket first, then a lower one goes before it, then one between.
      {{"o", "a", "h"}, "a=v\r\nh=v\r\no=v\r\n"},  // 'a'=97 -> 1, 'h'=104 -> 8, 'o'=111 -> 15
  };
  for (const Case& c : cases) {
    StringTable table;
    for (const char* key : c.insertionOrder) {
      table.Set(key, "v");
    }
    EXPECT_EQ(settings::FormatConfigFile(table), c.written);
  }
}

TEST(ConfigWriter, ReplacingAValueKeepsTheEntrysPlace) {
  StringTable table;
  table.Set("ab", "1");
  table.Set("ba", "2");
  table.Set("ab", "3");
  EXPECT_EQ(settings::FormatConfigFile(table), "ba=2\r\nab=3\r\n");
}

TEST_F(ScratchFolder, SaveRewritesTheWholeFileFromTheTable) {
  Write("qvs.cfg", "\xEF\xBB\xBF  junk line\nab=1\r\nba=2\nab = 9 \n");
  ConfigFile file(PathOf("qvs.cfg"));
  EXPECT_EQ(file.Get("ab").str(), "9");
  file.Set("new", "x");
  ASSERT_TRUE(file.Save());
  // The BOM, the junk line, the blanks and the earlier value are gone; "ba"
  // came after "ab" into bucket 3 and so goes first, "new" is in bucket 10.
  EXPECT_EQ(Read("qvs.cfg"), "ba=2\r\nab=9\r\nnew=x\r\n");
}

TEST_F(ScratchFolder, Utf16FileIsReplacedWhole) {
  Write("qvs.cfg", std::string("\xFF\xFEk\0=\0v\0", 8));
  ConfigFile file(PathOf("qvs.cfg"));
  EXPECT_EQ(file.Get("k").str(), "");
  file.Set("AutoUpdateDisable", "0");
  ASSERT_TRUE(file.Save());
  EXPECT_EQ(Read("qvs.cfg"), "AutoUpdateDisable=0\r\n");
}

TEST_F(ScratchFolder, MissingFileIsAnEmptyTable) {
  ConfigFile file(PathOf("absent.cfg"));
  EXPECT_EQ(file.Get("AutoUpdateDisable").str(), "");
  EXPECT_EQ(file.table().First(), file.table().EndMarker());
  file.Set("a", "1");
  ASSERT_TRUE(file.Save());
  EXPECT_EQ(Read("absent.cfg"), "a=1\r\n");
}

TEST_F(ScratchFolder, SaveFailsForEmptyPathAndMissingFolderWithoutCreatingIt) {
  ConfigFile noPath("");
  noPath.Set("a", "1");
  EXPECT_FALSE(noPath.Save());

  ConfigFile noFolder(PathOf("missing/qvs.cfg"));
  noFolder.Set("a", "1");
  EXPECT_FALSE(noFolder.Save());
  EXPECT_FALSE(fs::exists(folder_ / "missing"));
}

TEST(ParseBool, WordsAndLeadingNumbers) {
  for (const char* yes : {"1", "2", "-1", "10abc", "TRUE", "True", "Yes", "YES", "Y", "y", "t", "T",
                          "+5", "  7", "\t\n3", "00001", "99999999999", "-99999999999", "1 "}) {
    EXPECT_TRUE(ParseBool(yes)) << yes;
  }
  for (const char* no : {"0", "", "no", "false", "on", "0x1", "yes please", " yes", "truee", "-0",
                         "+", "-", "000", "x1", "t rue"}) {
    EXPECT_FALSE(ParseBool(no)) << no;
  }
}

}  // namespace
