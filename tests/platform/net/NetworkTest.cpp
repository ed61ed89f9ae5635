#include "ruv/platform/Network.h"

#include <gtest/gtest.h>

#include <regex>

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

bool AllDottedQuads(const std::vector<std::string>& list) {
  static const std::regex quad(R"(\d{1,3}\.\d{1,3}\.\d{1,3}\.\d{1,3})");
  for (const auto& a : list) {
    if (!std::regex_match(a, quad)) return false;
    EXPECT_EQ(IPv4ToString(ParseIPv4(a)), a);
  }
  return true;
}

TEST(HostAddresses, MachineAndResolver) {
  const auto host = HostIPv4Addresses();
  if (host) {
    EXPECT_TRUE(AllDottedQuads(*host));
  }
  const auto local = ResolveIPv4("localhost");
  ASSERT_TRUE(local.has_value());
  EXPECT_TRUE(AllDottedQuads(*local));
  EXPECT_NE(std::find(local->begin(), local->end(), "127.0.0.1"), local->end());
  EXPECT_EQ(ResolveIPv4(""), std::nullopt);
  // A label longer than 63 characters fails in the resolver itself, without a query.
  EXPECT_EQ(ResolveIPv4(std::string(70, 'a') + ".invalid"), std::nullopt);
}

}  // namespace
}  // namespace ruv::net
