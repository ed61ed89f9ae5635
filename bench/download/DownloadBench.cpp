// Throughput of downloadToStream against the curl tool on the same file and server.
// RUV_BENCH_BASE_URL: "http://127.0.0.1:PORT"; RUV_BENCH_FILE: the file's name there.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "ruv/provisioning/Download.h"

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

void BM_downloadToStream(benchmark::State& state) {
  const std::string templates = Env("RUV_BENCH_BASE_URL") + "/%s";
  const std::string file = Env("RUV_BENCH_FILE");
  std::int64_t bytes = 0;
  for (auto _ : state) {
    const auto s = ruv::provisioning::downloadToStream(templates, file);
    bytes += s.Size();
    benchmark::DoNotOptimize(s.View().data());
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_downloadToStream)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

void BM_curlTool(benchmark::State& state) {
  const std::string command = "curl -sS -f -o /dev/null '" + Env("RUV_BENCH_BASE_URL") + "/" + Env("RUV_BENCH_FILE") + "'";
  const std::int64_t size = std::atoll(Env("RUV_BENCH_FILE_SIZE").c_str());
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(size * static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_curlTool)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

}  // namespace

BENCHMARK_MAIN();
