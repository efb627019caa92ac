// Runs the benchmarks inside one environment (registry, inventory, loopback
// server) that lives as long as they run.
#include <benchmark/benchmark.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "bench_environment.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
#if defined(__GLIBC__)
  // Freed memory stays with the allocator and large blocks come from its heap
  // rather than fresh mappings, so a figure and its limit both reuse warm
  // pages instead of paying the kernel for new ones in some repetitions and
  // not in others (which made the large answers swing by 2-3x with the order
  // the benchmarks ran in).
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, -1);
#endif
  BenchEnvironment environment;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
