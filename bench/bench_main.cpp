// Runs the benchmarks inside one environment (registry, inventory, loopback
// server) that lives as long as they run.
#include <benchmark/benchmark.h>

#include "bench_environment.h"

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  BenchEnvironment environment;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
