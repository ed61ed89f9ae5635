#include "ruv/provisioning/LocalAddresses.h"

#include <gtest/gtest.h>

#include "ruv/platform/Network.h"

namespace ruv::provisioning {
namespace {

using List = std::vector<std::string>;

class LocalAddressesTest : public ::testing::Test {
 protected:
  void TearDown() override { SetLocalAddressLookup({}); }
};

TEST_F(LocalAddressesTest, MachineListIsAddressesOrTheMarker) {
  const List list = PobierzLokalneAdresyIP();
  const auto host = net::HostIPv4Addresses();
  if (!host) {
    EXPECT_EQ(list, List{kNoIpFound});
    return;
  }
  EXPECT_EQ(list, *host);
  for (const auto& a : list) EXPECT_EQ(net::IPv4ToString(net::ParseIPv4(a)), a);
}

TEST_F(LocalAddressesTest, ReplacedLookupIsTakenAsGiven) {
  struct Case {
    std::optional<List> lookup;
    List expected;
  } cases[] = {
      {std::nullopt, {"No IP found"}},
      {List{}, {}},  // a host entry without addresses
      {List{"10.0.0.2", "192.168.1.5", "10.0.0.2"}, {"10.0.0.2", "192.168.1.5", "10.0.0.2"}},
  };
  for (const auto& c : cases) {
    int calls = 0;
    SetLocalAddressLookup([&] {
      ++calls;
      return c.lookup;
    });
    EXPECT_EQ(PobierzLokalneAdresyIP(), c.expected);
    EXPECT_EQ(PobierzLokalneAdresyIP(), c.expected);
    EXPECT_EQ(calls, 2);  // nothing is cached
  }
}

}  // namespace
}  // namespace ruv::provisioning
