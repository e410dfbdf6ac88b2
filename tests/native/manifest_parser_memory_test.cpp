// The manifest parser when memory runs out in the middle of a parse. This
// program replaces the global allocation functions, so it is a test binary
// of its own: allocations of at least g_failFromSize bytes fail as if memory
// had run out, which hits the XML parser's pool blocks (64 KiB each, taken
// once a document outgrows the pool's first 64 KiB) and nothing small such
// as the log's own strings.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "log_recorder.h"
#include "logging/log.h"
#include "update/manifest_parser.h"

namespace {
std::size_t g_failFromSize = static_cast<std::size_t>(-1);

void* Allocate(std::size_t size) {
  if (size >= g_failFromSize) {
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using update::ComponentVersion;
using update::SAUConfig;

// A well-formed manifest padded with elements the parser must still build
// nodes for, well beyond its first 64 KiB of pool.
std::string LargeManifest() {
  std::string text = "<?xml version=\"1.0\"?>\n<version>\n";
  for (int i = 0; i < 4000; ++i) {
    text += "  <Note id=\"" + std::to_string(i) + "\" text=\"padding\"/>\n";
  }
  text += "  <ActiveX major=\"11\" minor=\"2\" buildMajor=\"202\" buildMinor=\"7\"/>\n"
          "  <Plugin major=\"11\" minor=\"3\" buildMajor=\"1\" buildMinor=\"8\"/>\n"
          "  <SAUConfig checkFrequency=\"2\"/>\n</version>\n";
  return text;
}

TEST(ManifestParserMemory, RunningOutOfMemoryLogs1411AndLeavesTheOutputs) {
  std::string text = LargeManifest();
  std::unique_ptr<ComponentVersion> activeX;
  std::unique_ptr<ComponentVersion> plugin;
  std::unique_ptr<SAUConfig> config;
  logging::VerboseLogging = true;  // 1411 is a warning
  testing_support::RecordedLog().clear();

  g_failFromSize = 60 * 1024;
  const bool parsed = update::ParseVersionManifest(text.data(), activeX, plugin, config);
  g_failFromSize = static_cast<std::size_t>(-1);

  EXPECT_FALSE(parsed);
  EXPECT_EQ(activeX, nullptr);
  EXPECT_EQ(plugin, nullptr);
  EXPECT_EQ(config, nullptr);
  EXPECT_EQ(testing_support::RecordedLog(), std::vector<std::wstring>{L"[warning] 1411"});

  // The same document parses once memory is there again.
  text = LargeManifest();
  testing_support::RecordedLog().clear();
  EXPECT_TRUE(update::ParseVersionManifest(text.data(), activeX, plugin, config));
  EXPECT_EQ(testing_support::RecordedLog(), std::vector<std::wstring>{});
  ASSERT_NE(config, nullptr);
  EXPECT_EQ(config->checkFrequency, 2u);
  logging::VerboseLogging = false;
}

}  // namespace
