// The client network check on a machine whose addresses the test sets: the test
// program runs itself again in a private network namespace (as root), where it
// adds an interface, gives it an address and checks what the launcher sees.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Fixtures.h"
#include "ruv/platform/Network.h"
#include "ruv/provisioning/LocalAddresses.h"
#include "ruv/provisioning/Terminals.h"

namespace ruv::provisioning {
namespace {

using List = std::vector<std::string>;

constexpr const char* kInside = "RUV_TEST_INSIDE_PRIVATE_NETWORK";

struct Outcome {
  int status;
  std::string output;
};

// Runs a shell command and gathers what it writes to both streams.
Outcome Shell(const std::string& command) {
  Outcome outcome{-1, ""};
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.output.append(buffer, n);
  outcome.status = ::pclose(pipe);
  return outcome;
}

void Ip(const std::string& arguments) {
  const Outcome o = Shell("ip " + arguments);
  ASSERT_EQ(o.status, 0) << "ip " << arguments << ": " << o.output;
}

// What the launcher sees on this machine: its address list, and the terminals
// offered by a configuration whose only client network is the given one.
void ExpectMachine(const List& addresses, const List& offered, const char* what) {
  SCOPED_TRACE(what);
  // The kernel settles an interface's link state shortly after the change that
  // brings it (a peer coming up or going down), so the list is given time to
  // reach what is expected; a wrong one stays wrong and fails after the wait.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (PobierzLokalneAdresyIP() != addresses && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(PobierzLokalneAdresyIP(), addresses);
  const struct {
    const char* mask;
    const char* ip;
  } networks[] = {{"255.255.255.0", "10.9.8.0"}, {"255.255.255.255", "10.9.8.7"}};
  for (const auto& n : networks) {
    namespace t = testing;
    TTerminals::WczytajDane(t::Config(t::Network(n.mask, n.ip) + t::Terminal("kasa", t::Access("all")) +
                                      t::Terminal("kadry", t::Access("internal"))));
    EXPECT_EQ(TTerminals::PobierzListeIdentyfikatorowTerminali(), offered) << n.mask << " " << n.ip;
    EXPECT_EQ(TTerminals::restrictedAccess(), offered.size() == 2) << n.mask << " " << n.ip;
  }
  TTerminals::Finalizuj();
}

// Inside the namespace: loopback is down and there is no other interface.
void InsidePrivateNetwork() {
  const List all{"kasa"};
  const List everyone{"kasa", "kadry"};
  ExpectMachine({}, all, "nothing is up");
  ASSERT_NO_FATAL_FAILURE(Ip("link set lo up"));
  ExpectMachine({"127.0.0.1"}, all, "nothing but loopback");
  ASSERT_NO_FATAL_FAILURE(Ip("link add v0 type veth peer name v1"));
  ASSERT_NO_FATAL_FAILURE(Ip("addr add 10.9.8.7/24 dev v0"));
  ExpectMachine({"127.0.0.1"}, all, "the interface with the address is still down");
  // Up, but its peer (the other end of the cable) is down: NO-CARRIER.
  ASSERT_NO_FATAL_FAILURE(Ip("link set v0 up"));
  ExpectMachine({"127.0.0.1"}, all, "the interface is up but has no link");
  ASSERT_NO_FATAL_FAILURE(Ip("link set v1 up"));
  ExpectMachine({"10.9.8.7"}, everyone, "an address of the machine's own");
  // An interface made later comes later in the list.
  ASSERT_NO_FATAL_FAILURE(Ip("link add w0 type veth peer name w1"));
  ASSERT_NO_FATAL_FAILURE(Ip("addr add 192.0.2.2/24 dev w0"));
  ASSERT_NO_FATAL_FAILURE(Ip("link set w0 up"));
  ASSERT_NO_FATAL_FAILURE(Ip("link set w1 up"));
  ExpectMachine({"10.9.8.7", "192.0.2.2"}, everyone, "two interfaces");
  // The cable of the client network's card is pulled; its address stays configured.
  ASSERT_NO_FATAL_FAILURE(Ip("link set v1 down"));
  ExpectMachine({"192.0.2.2"}, all, "the first interface lost its link");
  ASSERT_NO_FATAL_FAILURE(Ip("link set v1 up"));
  ExpectMachine({"10.9.8.7", "192.0.2.2"}, everyone, "the link is back");
  ASSERT_NO_FATAL_FAILURE(Ip("link set v0 down"));
  ExpectMachine({"192.0.2.2"}, all, "the first interface went down");
}

TEST(MachineAddresses, SetInAPrivateNetworkNamespace) {
  if (std::getenv(kInside) != nullptr) {
    InsidePrivateNetwork();
    return;
  }
  // Making the namespace and an interface in it needs the privilege and the ip tool.
  const Outcome probe = Shell("unshare -n ip link add v0 type veth peer name v1");
  if (probe.status != 0) {
    GTEST_SKIP() << "no private network namespace with an interface of its own here: " << probe.output;
  }
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const Outcome inside = Shell(std::string(kInside) + "=1 unshare -n '" + self + "' --gtest_filter=" +
                             test->test_suite_name() + "." + test->name());
  EXPECT_EQ(inside.status, 0) << inside.output;
  // The run inside really ran the checks, rather than skipping or filtering them out.
  EXPECT_NE(inside.output.find("[  PASSED  ] 1 test."), std::string::npos) << inside.output;
}

}  // namespace
}  // namespace ruv::provisioning
