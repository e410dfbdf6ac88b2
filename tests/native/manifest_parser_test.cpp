#include "update/manifest_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log_recorder.h"
#include "logging/log.h"
#include "update/unsigned_decimal.h"

namespace {

using update::ComponentVersion;
using update::PlayerFlavour;
using update::SAUConfig;
using update::VersionNumber;

struct Parsed {
  bool ok = false;
  std::unique_ptr<ComponentVersion> activeX;
  std::unique_ptr<ComponentVersion> plugin;
  std::unique_ptr<SAUConfig> config;
  std::vector<std::wstring> log;
};

Parsed Parse(std::string text) {
  testing_support::RecordedLog().clear();
  Parsed parsed;
  parsed.ok = update::ParseVersionManifest(text.data(), parsed.activeX, parsed.plugin, parsed.config);
  parsed.log = testing_support::RecordedLog();
  return parsed;
}

const char kManifest[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<version>\n"
    "  <ActiveX major=\"11\" minor=\"2\" buildMajor=\"202\" buildMinor=\"7\"/>\n"
    "  <Plugin major=\"11\" minor=\"2\" buildMajor=\"202\" buildMinor=\"8\"/>\n"
    "  <SAUConfig checkFrequency=\"2\"/>\n"
    "</version>\n";

void ExpectVersion(const std::unique_ptr<ComponentVersion>& entry, PlayerFlavour flavour,
                   VersionNumber expected) {
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->flavour, flavour);
  EXPECT_EQ(update::CompareVersions(entry->version, expected), 0)
      << entry->version.major << "." << entry->version.minor << "." << entry->version.buildMajor
      << "." << entry->version.buildMinor;
}

TEST(ManifestParser, ReadsTheThreeRecords) {
  const Parsed parsed = Parse(kManifest);
  ASSERT_TRUE(parsed.ok);
  ExpectVersion(parsed.activeX, PlayerFlavour::ActiveX, {11, 2, 202, 7});
  ExpectVersion(parsed.plugin, PlayerFlavour::Plugin, {11, 2, 202, 8});
  EXPECT_EQ(parsed.config->checkFrequency, 2u);
  EXPECT_TRUE(parsed.log.empty());
}

TEST(ManifestParser, SameRecordsWhateverTheLayout) {
  const char* layouts[] = {
      // a UTF-8 byte-order mark
      "\xEF\xBB\xBF<version><ActiveX major='11' minor='2' buildMajor='202' buildMinor='7'/>"
      "<Plugin major='11' minor='2' buildMajor='202' buildMinor='8'/><SAUConfig checkFrequency='2'/></version>",
      // other order of elements and attributes, extra ones, comments, text
      "<!-- published --><version build=\"x\"><SAUConfig other=\"1\" checkFrequency=\"2\"/>text"
      "<Extra/><Plugin buildMinor=\"8\" buildMajor=\"202\" minor=\"2\" major=\"11\" name=\"p\"/>"
      "<?pi data?><ActiveX buildMinor=\"7\" major=\"11\" buildMajor=\"202\" minor=\"2\"></ActiveX></version>",
      // second elements and repeated attributes are ignored
      "<version><ActiveX major=\"11\" major=\"99\" minor=\"2\" buildMajor=\"202\" buildMinor=\"7\"/>"
      "<ActiveX major=\"1\" minor=\"1\" buildMajor=\"1\" buildMinor=\"1\"/>"
      "<Plugin major=\"11\" minor=\"2\" buildMajor=\"202\" buildMinor=\"8\"/>"
      "<SAUConfig checkFrequency=\"2\"/><SAUConfig checkFrequency=\"3\"/></version>",
      // entities and character references in values
      "<version><ActiveX major=\"&#49;&#x31;\" minor=\"&#50;\" buildMajor=\"202\" buildMinor=\"7&amp;\"/>"
      "<Plugin major=\"11\" minor=\"2\" buildMajor=\"202\" buildMinor=\"8&lt;\"/>"
      "<SAUConfig checkFrequency=\"&#x32;\"/></version>",
  };
  for (const char* layout : layouts) {
    const Parsed parsed = Parse(layout);
    ASSERT_TRUE(parsed.ok) << layout;
    ExpectVersion(parsed.activeX, PlayerFlavour::ActiveX, {11, 2, 202, 7});
    ExpectVersion(parsed.plugin, PlayerFlavour::Plugin, {11, 2, 202, 8});
    EXPECT_EQ(parsed.config->checkFrequency, 2u);
  }
}

TEST(ManifestParser, ValuesConvertAsUnsignedDecimals) {
  const Parsed parsed = Parse(
      "<version><ActiveX major=\" 12\" minor=\"-1\" buildMajor=\"11x\" buildMinor=\"0x1F\"/>"
      "<Plugin major=\"\" minor=\"abc\" buildMajor=\"99999999999\" buildMinor=\"+4294967295\"/>"
      "<SAUConfig checkFrequency=\"7\"/></version>");
  ASSERT_TRUE(parsed.ok);
  ExpectVersion(parsed.activeX, PlayerFlavour::ActiveX, {12, 4294967295u, 11, 0});
  ExpectVersion(parsed.plugin, PlayerFlavour::Plugin, {0, 0, 4294967295u, 4294967295u});
  EXPECT_EQ(parsed.config->checkFrequency, 7u);  // passed on unchanged
}

TEST(ManifestParser, IncompleteDocumentsFailWithoutAMessage) {
  const char* documents[] = {
      "",
      "<Version><ActiveX major='1' minor='1' buildMajor='1' buildMinor='1'/></Version>",
      "<version><activex major='1' minor='1' buildMajor='1' buildMinor='1'/>"
      "<Plugin major='1' minor='1' buildMajor='1' buildMinor='1'/><SAUConfig checkFrequency='1'/></version>",
      "<version><ActiveX major='1' minor='1' buildMajor='1' BuildMinor='1'/>"
      "<Plugin major='1' minor='1' buildMajor='1' buildMinor='1'/><SAUConfig checkFrequency='1'/></version>",
      "<version><ActiveX major='1' minor='1' buildMajor='1' buildMinor='1'/>"
      "<Plugin major='1' minor='1' buildMajor='1' buildMinor='1'/></version>",
      "<version><ActiveX major='1' minor='1' buildMajor='1' buildMinor='1'/>"
      "<Plugin major='1' minor='1' buildMajor='1' buildMinor='1'/><SAUConfig/></version>",
      // the elements must be children of version
      "<version/><ActiveX major='1' minor='1' buildMajor='1' buildMinor='1'/>",
      "<html><body><version/></body></html>",
  };
  for (const char* document : documents) {
    const Parsed parsed = Parse(document);
    EXPECT_FALSE(parsed.ok) << document;
    EXPECT_TRUE(parsed.log.empty()) << document;
  }
}

TEST(ManifestParser, MalformedTextLogs1410AndLeavesTheOutputs) {
  for (const char* text : {"<version>", "<html><body>404 Not Found</body>", "not xml at all <",
                           "<version><ActiveX major=1/></version>", "<version a=\"&bogus;\"/>x"}) {
    testing_support::RecordedLog().clear();
    auto activeX = std::make_unique<ComponentVersion>();
    ComponentVersion* const before = activeX.get();
    std::unique_ptr<ComponentVersion> plugin;
    std::unique_ptr<SAUConfig> config;
    std::string copy = text;
    EXPECT_FALSE(update::ParseVersionManifest(copy.data(), activeX, plugin, config)) << text;
    EXPECT_EQ(activeX.get(), before);
    EXPECT_EQ(plugin, nullptr);
    logging::VerboseLogging = true;  // 1410 is a warning
    testing_support::RecordedLog().clear();
    copy = text;
    update::ParseVersionManifest(copy.data(), activeX, plugin, config);
    logging::VerboseLogging = false;
    EXPECT_EQ(testing_support::RecordedLog(), std::vector<std::wstring>{L"[warning] 1410"}) << text;
  }
}

TEST(UnsignedDecimal, ConversionRules) {
  struct Case {
    const char* text;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"0", 0},           {"7", 7},          {" 12", 12},        {"\t\n\v\f\r 3", 3},
      {"+8", 8},          {"-1", 4294967295u}, {"-0", 0},         {"-4294967295", 1},
      {"11x", 11},        {"0x1F", 0},       {"", 0},            {"abc", 0},
      {"- 1", 0},         {"4294967295", 4294967295u},           {"4294967296", 4294967295u},
      {"99999999999999999999999", 4294967295u},                  {"-99999999999", 4294967295u},
      {"00000000000000000000042", 42},       {"1 2", 1},
  };
  for (const Case& c : cases) {
    const std::string text = c.text;
    EXPECT_EQ(update::ParseUnsignedDecimal(text.data(), text.data() + text.size()), c.value) << c.text;
    const std::wstring wide(text.begin(), text.end());
    EXPECT_EQ(update::ParseUnsignedDecimal(wide.data(), wide.data() + wide.size()), c.value) << c.text;
  }
}

}  // namespace
