// One 256 MiB-class terminal file fetched to disk, one way per run, so that each
// run's peak memory is its own:
//   bench_plik_download plik BASE_URL DIR        TPlik::download of the exe file of a
//                                                 generated configuration's terminal
//                                                 (source_path "duzy", name "duzy.exe"),
//                                                 written under DIR
//   bench_plik_download curl BASE_URL DIR        the curl tool fetching the same file
//                                                 to DIR/curl.bin, then the file
//                                                 flushed to the disk as the atomic
//                                                 write of TPlik::download does
// Prints "bytes N wall_ms W peak_rss_kib R" (for curl: the tool's own peak, then
// "synced_ms S": the time with the flush).
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "ruv/provisioning/Plik.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/provisioning/Terminals.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace ruv::provisioning;

const char* kConfiguration = R"(<?xml version="1.0" encoding="UTF-8"?>
<ruv_virad xmlns="http://ruv.local/ruv_virad" prog_version="3.0">
<terminal><id>maly</id><name>Mały</name><access_mode value="all"/>
<exe_file><name>maly.exe</name><target_path>terminale\maly</target_path><source_path>maly</source_path></exe_file></terminal>
<terminal><id>duzy</id><name>Duży</name><access_mode value="all"/>
<exe_file><name>duzy.exe</name><target_path>terminale\duzy</target_path><source_path>duzy</source_path></exe_file>
<icon_file><name>duzy.bmp</name><target_path>terminale\duzy</target_path><source_path>duzy</source_path></icon_file></terminal>
</ruv_virad>
)";

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s plik|curl BASE_URL DIR\n", argv[0]);
    return 2;
  }
  const std::string mode = argv[1], base = argv[2];
  const fs::path dir = argv[3];
  fs::current_path(dir);
  if (mode == "curl") {
    const std::string url = base + "/duzy/duzy.exe";
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execlp("curl", "curl", "-sS", "-f", "-o", "curl.bin", url.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    int status = 0;
    rusage ru{};
    ::wait4(pid, &status, 0, &ru);
    const double wall = MsSince(start);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
    const int fd = ::open("curl.bin", O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) return 1;
    ::close(fd);
    const double synced = MsSince(start);
    std::printf("bytes %lld wall_ms %.1f peak_rss_kib %ld synced_ms %.1f\n",
                static_cast<long long>(fs::file_size("curl.bin")), wall, ru.ru_maxrss, synced);
    return 0;
  }
  ruv::resources::SetUrlTemplatesForTesting(base + "/%s");
  TTerminals::WczytajDane(kConfiguration);
  TTerminals::WczytajDaneTerminala("duzy");
  TPlik::WczytajDane(TTerminal::DaneTerminala()->Get_Exe_file());
  const auto start = Clock::now();
  TPlik::download();
  const double wall = MsSince(start);
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const fs::path written = fs::path("terminale") / "duzy" / "duzy.exe";
  std::printf("bytes %lld wall_ms %.1f peak_rss_kib %ld\n", static_cast<long long>(fs::file_size(written)), wall,
              ru.ru_maxrss);
  TTerminals::Finalizuj();
  return 0;
}
