#pragma once

// Wall time and peak working set of a benchmark program, printed as one line:
//   wall_ms=812 peak_working_set_kib=201344
#include <windows.h>
#include <psapi.h>

#include <cstdio>

namespace bench {

class Measurement {
 public:
  Measurement() { ::QueryPerformanceCounter(&start_); }
  void Print(const char* label) const {
    LARGE_INTEGER end{}, frequency{};
    ::QueryPerformanceCounter(&end);
    ::QueryPerformanceFrequency(&frequency);
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
    std::printf("%s wall_ms=%.0f peak_working_set_kib=%lu\n", label,
                static_cast<double>(end.QuadPart - start_.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart),
                static_cast<unsigned long>(counters.PeakWorkingSetSize / 1024));
  }

 private:
  LARGE_INTEGER start_{};
};

}  // namespace bench
