#include "ruv/platform/Network.h"

#include <gtest/gtest.h>


#include "ruv/platform/Exception.h"

namespace ruv::net {
namespace {

std::string ErrorOf(void (*f)(std::string_view), std::string_view text) {
  try {
    f(text);
  } catch (const EIdException& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(IPv4Text, ConvertsOrNamesTheWholeText) {
  struct Case {
    const char* text;
    std::optional<IPv4Value> value;
  } cases[] = {
      {"192.168.1.10", 0xC0A8010Au},
      {"0.0.0.0", 0u},
      {"255.255.255.255", 0xFFFFFFFFu},
      {" 10 .\t0. 0 .1\r\n", 0x0A000001u},  // blanks and control characters around parts
      {"010.001.000.0255", 0x0A0100FFu},      // leading zeros are still decimal
      {"1.2.3", std::nullopt},                // three parts
      {"1.2.3.300", std::nullopt},            // a part above 255
      {"1.2.3.4.5", std::nullopt},            // the fourth part is the whole remainder
      {"1..3.4", std::nullopt},
      {"", std::nullopt},
      {"1.2.3.-1", std::nullopt},
      {"1.2.3.+1", std::nullopt},
      {"1.2.3.0x1", std::nullopt},
      {"1.2.3.$1", std::nullopt},
      {"1.2 3.3.4", std::nullopt},
      {"1.2.3.99999999999999999999", std::nullopt},
      {"a.b.c.d", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.value) {
      EXPECT_EQ(ParseIPv4(c.text), *c.value);
    } else {
      EXPECT_EQ(ErrorOf([](std::string_view t) { ParseIPv4(t); }, c.text),
                "The string " + std::string(c.text) + " does not translate into a valid IP.");
    }
  }
  EXPECT_EQ(IPv4ToString(0xC0A8010Au), "192.168.1.10");
}

TEST(NetworkCalculator, MaskMustBeOnesThenZeros) {
  TIdNetworkCalculator calc;
  for (int ones = 0; ones <= 32; ++ones) {
    const IPv4Value mask = ones == 0 ? 0 : ~IPv4Value{0} << (32 - ones);
    EXPECT_NO_THROW(calc.SetNetworkMaskAsString(IPv4ToString(mask))) << ones;
    EXPECT_EQ(calc.NetworkMask(), mask);
  }
  calc.SetNetworkMaskAsString("255.255.255.0");
  struct Bad {
    const char* text;
    const char* message;
  } bad[] = {
      {"255.0.255.0", "Invalid network mask."},
      {"0.0.0.1", "Invalid network mask."},
      {"255.255.255.254 x", "The string 255.255.255.254 x does not translate into a valid IP."},
      // An absent attribute reads as empty text.
      {"", "The string  does not translate into a valid IP."},
  };
  for (const auto& b : bad) {
    EXPECT_EQ(ErrorOf([](std::string_view t) { TIdNetworkCalculator().SetNetworkMaskAsString(t); }, b.text),
              b.message);
    EXPECT_THROW(calc.SetNetworkMaskAsString(b.text), EIdException);
  }
  EXPECT_EQ(calc.NetworkMaskAsString(), "255.255.255.0");  // a refused mask leaves the old one
}

TEST(NetworkCalculator, Membership) {
  struct Case {
    const char* mask;
    const char* network;
    const char* address;
    bool member;
  } cases[] = {
      {"255.255.255.0", "192.168.5.77", "192.168.5.1", true},  // host bits of the network ignored
      {"255.255.255.0", "192.168.5.77", "192.168.6.1", false},
      {"0.0.0.0", "10.1.2.3", "172.16.0.9", true},
      {"255.255.255.255", "10.1.2.3", "10.1.2.3", true},
      {"255.255.255.255", "10.1.2.3", "10.1.2.4", false},
      {"255.240.0.0", "172.16.0.0", "172.31.255.255", true},
      {"255.240.0.0", "172.16.0.0", "172.32.0.0", false},
      {" 255 . 255 . 0 . 0 ", " 10 . 20 . 0 . 0 ", " 10 . 20 . 30 . 40 ", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.mask) + " " + c.network + " " + c.address);
    TIdNetworkCalculator calc;
    calc.SetNetworkMaskAsString(c.mask);
    calc.SetNetworkAddressAsString(c.network);
    EXPECT_EQ(calc.IsAddressInNetwork(c.address), c.member);
  }
  TIdNetworkCalculator calc;
  EXPECT_THROW(calc.SetNetworkAddressAsString("10.0.0"), EIdException);
  EXPECT_THROW(calc.IsAddressInNetwork("No IP found"), EIdException);
}

InterfaceAddress Up(const char* address) { return {true, ParseIPv4(address)}; }
// Not connected: down, or up without a link.
InterfaceAddress Down(const char* address) { return {false, ParseIPv4(address)}; }
// An entry of another family (an IPv6 or a link-layer address).
InterfaceAddress Other(bool up = true) { return {up, std::nullopt}; }

TEST(HostAddresses, SelectedFromTheInterfaceList) {
  using List = std::vector<std::string>;
  const struct {
    const char* what;
    std::optional<std::vector<InterfaceAddress>> interfaces;
    std::optional<List> expected;
  } cases[] = {
      {"the list cannot be read", std::nullopt, std::nullopt},
      {"no interfaces", std::vector<InterfaceAddress>{}, List{}},
      {"the list's order, not sorted", {{Up("192.168.1.5"), Up("10.0.0.2"), Up("172.16.0.1")}},
       List{"192.168.1.5", "10.0.0.2", "172.16.0.1"}},
      {"loopback left out beside another address", {{Up("127.0.0.1"), Up("192.0.2.2")}}, List{"192.0.2.2"}},
      {"the whole 127/8 is loopback", {{Up("10.0.0.2"), Up("127.0.1.1"), Up("127.255.255.254")}}, List{"10.0.0.2"}},
      {"nothing but loopback", {{Up("127.0.0.1"), Other(), Up("127.0.1.1")}}, List{"127.0.0.1", "127.0.1.1"}},
      {"interfaces without a connection are left out", {{Up("127.0.0.1"), Down("10.0.0.2"), Up("192.0.2.2"), Down("172.16.0.1")}},
       List{"192.0.2.2"}},
      {"a down address leaves loopback the only one", {{Up("127.0.0.1"), Down("10.0.0.2")}}, List{"127.0.0.1"}},
      {"everything down", {{Down("127.0.0.1"), Down("10.0.0.2"), Other(false)}}, List{}},
      {"IPv6-only interfaces add nothing", {{Up("127.0.0.1"), Other(), Other(), Up("10.0.0.2"), Other()}},
       List{"10.0.0.2"}},
      {"only IPv6", {{Other(), Other()}}, List{}},
      {"each address once, where it first comes",
       {{Up("10.0.0.2"), Up("192.168.1.5"), Up("10.0.0.2"), Down("192.168.1.5"), Up("192.168.1.5")}},
       List{"10.0.0.2", "192.168.1.5"}},
      {"loopback once", {{Up("127.0.0.1"), Up("127.0.0.1")}}, List{"127.0.0.1"}},
      {"a down copy of an address does not hide it", {{Down("10.0.0.2"), Up("10.0.0.2")}}, List{"10.0.0.2"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostIPv4Addresses(c.interfaces), c.expected) << c.what;
  }
}

TEST(HostAddresses, TheMachinesOwnList) {
  const auto interfaces = ReadInterfaceAddresses();
  ASSERT_TRUE(interfaces.has_value()) << "the interface list of this machine cannot be read";
  const auto host = HostIPv4Addresses();
  ASSERT_TRUE(host.has_value());
  EXPECT_EQ(*host, *HostIPv4Addresses(interfaces));
  bool loopback = false;
  for (const auto& a : *host) {
    EXPECT_EQ(IPv4ToString(ParseIPv4(a)), a);
    loopback = loopback || a.rfind("127.", 0) == 0;
  }
  if (loopback) {
    EXPECT_EQ(host->size(), 1u) << "loopback is listed only on a machine without another address";
  }
}

}  // namespace
}  // namespace ruv::net
