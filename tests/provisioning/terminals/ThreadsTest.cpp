// The current elements read and replaced from several threads at once, as the
// user-interface thread and a download job's worker do. Run under ThreadSanitizer.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "Fixtures.h"
#include "ruv/provisioning/LocalAddresses.h"
#include "ruv/provisioning/Terminals.h"

namespace ruv::provisioning {
namespace {

using testing::Access;
using testing::Config;
using testing::Network;

std::string Configuration(int generation) {
  std::string terminals;
  for (int i = 0; i < 4; ++i) {
    const std::string id = "t" + std::to_string(i);
    terminals += "<terminal><id>" + id + "</id><version>" + std::to_string(generation) + "</version>" +
                 Access(i % 2 ? "all" : "local") + "<exe_file><name>" + id + ".exe</name><target_path>kat\\" + id +
                 "</target_path></exe_file><dll_lib>druk</dll_lib></terminal>";
  }
  return Config(Network("255.255.255.0", "10.0.0.0") + terminals +
                    "<dll><name>druk</name><version>1</version><file><name>druk.dll</name></file></dll>"
                    "<clForm value=\"clWhite\"/>",
                " prog_version=\"1\"");
}

class Threads : public testing::TerminalsTest {};

TEST_F(Threads, QueriesSelectionsAndReloadsAtOnce) {
  SetLocalAddressLookup([] { return std::optional<std::vector<std::string>>({"10.0.0.5"}); });
  TTerminals::WczytajDane(Configuration(0));
  std::atomic<bool> stop{false};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 150; ++round) {
        const auto ids = TTerminals::PobierzListeIdentyfikatorowTerminali();
        if (ids.size() != 4) ++failures;
        const auto dll = TTerminals::PobierzDll("druk");
        if (!dll || dll->Get_File()->Get_Name() != "druk.dll") ++failures;
        if (TTerminals::PobierzClForm() != "clWhite") ++failures;
        const std::string id = ids[static_cast<std::size_t>((round + t) % 4)];
        TTerminals::WczytajDaneTerminala(id);
        const auto terminal = TTerminal::DaneTerminala();
        TPlik::WczytajDane(terminal->Get_Exe_file());
        if (TPlik::PobierzPelnaNazwe().find(".exe") == std::string::npos) ++failures;
        // A selection of one's own does not follow the others' selections.
        const TOpisPliku own(terminal->Get_Exe_file());
        if (own.PobierzPelnaNazwe() != "kat\\" + terminal->Get_Id() + "\\" + terminal->Get_Id() + ".exe") ++failures;
      }
    });
  }
  threads.emplace_back([&] {
    for (int generation = 1; !stop; ++generation) {
      TTerminals::WczytajDane(Configuration(generation));
      (void)TTerminals::Konfiguracja()->Get_Prog_version();
      std::this_thread::yield();
    }
  });
  for (std::size_t i = 0; i + 1 < threads.size(); ++i) threads[i].join();
  stop = true;
  threads.back().join();
  SetLocalAddressLookup(nullptr);
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace ruv::provisioning
