// One measured operation per run:
//   bench_download_once fetch BASE_URL FILE    one downloadToStream; prints bytes and peak RSS (KiB)
//   bench_download_once timeout BASE_URL FILE  one downloadWithTimeout that must time out;
//                                              prints wall and calling-thread CPU time (ms)
#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/ResourceStrings.h"

namespace {

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s fetch|timeout BASE_URL FILE\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1], templates = std::string(argv[2]) + "/%s", file = argv[3];
  if (mode == "fetch") {
    const auto s = ruv::provisioning::downloadToStream(templates, file);
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("bytes %lld peak_rss_kib %ld\n", static_cast<long long>(s.Size()), ru.ru_maxrss);
    return 0;
  }
  ruv::resources::SetUrlTemplatesForTesting(templates);
  const auto start = std::chrono::steady_clock::now();
  const double cpu0 = ThreadCpuMs();
  const auto s = ruv::provisioning::downloadWithTimeout(file);
  const double cpu = ThreadCpuMs() - cpu0;
  const double wall =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("size %lld wall_ms %.1f thread_cpu_ms %.3f\n", static_cast<long long>(s.Size()), wall, cpu);
  return 0;
}
