// Loading large configuration files. The table has 16 fixed buckets, so every
// new key walks its bucket's run: 10,000 keys mean runs of about 625 entries.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "settings/config_file.h"

namespace {

std::string ManyKeys(int count) {
  std::string bytes;
  for (int i = 0; i < count; ++i) {
    bytes += "SettingNumber" + std::to_string(i) + "=value " + std::to_string(i) + "\r\n";
  }
  return bytes;
}

void ParseDistinctKeys(benchmark::State& state) {
  const std::string bytes = ManyKeys(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    settings::StringTable table;
    settings::ParseConfigBytes(bytes, table);
    benchmark::DoNotOptimize(table.First());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(ParseDistinctKeys)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void LoadFileWithDistinctKeys(benchmark::State& state) {
  const auto path = std::filesystem::temp_directory_path() / "nimbra-bench-qvs.cfg";
  std::ofstream(path, std::ios::binary) << ManyKeys(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    settings::ConfigFile file(settings::NarrowString(path.string()));
    benchmark::DoNotOptimize(file.Get("SettingNumber0"));
  }
  std::filesystem::remove(path);
}
BENCHMARK(LoadFileWithDistinctKeys)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
