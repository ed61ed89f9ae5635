// The offered-terminal list for 200 terminals and 20 client networks: the network
// check runs once per terminal, with one reading of the machine's addresses each.

#include <benchmark/benchmark.h>

#include <string>

#include "ruv/provisioning/LocalAddresses.h"
#include "ruv/provisioning/Terminals.h"

namespace {

using namespace ruv::provisioning;

void Load() {
  std::string body;
  for (int n = 0; n < 20; ++n) body += "<network mask=\"255.255.255.0\" ip=\"10.20." + std::to_string(n) + ".0\"/>";
  for (int t = 0; t < 200; ++t) {
    body += "<terminal><id>terminal" + std::to_string(t) + "</id><name>Terminal " + std::to_string(t) +
            "</name><access_mode value=\"" + (t % 3 ? "all" : "local") +
            "\"/><exe_file><name>t.exe</name><target_path>t</target_path></exe_file></terminal>";
  }
  TTerminals::WczytajDane("<ruv_virad xmlns=\"http://ruv.local/ruv_virad\">" + body + "</ruv_virad>");
}

void OfferedList(benchmark::State& state, bool realLookup) {
  if (realLookup) {
    SetLocalAddressLookup(nullptr);
  } else {
    SetLocalAddressLookup([] { return std::optional<std::vector<std::string>>({"192.168.1.10", "10.20.19.7"}); });
  }
  Load();
  for (auto _ : state) {
    auto ids = TTerminals::PobierzListeIdentyfikatorowTerminali();
    benchmark::DoNotOptimize(ids);
  }
  SetLocalAddressLookup(nullptr);
  TTerminals::Finalizuj();
}

BENCHMARK_CAPTURE(OfferedList, fixed_addresses, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(OfferedList, machine_lookup, true)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
