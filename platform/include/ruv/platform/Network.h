#pragma once
// Network services of the launcher: the IPv4 addresses of this machine and the
// network calculator that tests an address against a client network.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruv::net {

// An IPv4 value: the first of the four numbers in the most significant byte.
using IPv4Value = std::uint32_t;

// One entry of the system's list of network interfaces and their addresses.
struct InterfaceAddress {
  // The interface is up and has a link (its cable is in, its peer answers): an
  // interface that is up without a link keeps its addresses configured, but the
  // machine cannot be reached at them, so they are not the machine's.
  bool connected = false;
  std::optional<IPv4Value> ipv4;  // the entry's IPv4 address; nothing for another family
};

// The system's interface list, in its order (interface by interface, an entry for
// each of an interface's addresses); std::nullopt when it cannot be read.
std::optional<std::vector<InterfaceAddress>> ReadInterfaceAddresses();

// The machine's IPv4 addresses out of an interface list, as dotted-decimal texts:
// the IPv4 addresses of the connected interfaces, in the list's order, each once.
// Loopback addresses (127.0.0.0/8) are left out unless the machine has no other
// address; then they are its addresses. std::nullopt when there is no list.
std::optional<std::vector<std::string>> HostIPv4Addresses(
    const std::optional<std::vector<InterfaceAddress>>& interfaces);

// The IPv4 addresses of this machine as above, from a fresh reading of its
// interfaces; std::nullopt when they cannot be read.
std::optional<std::vector<std::string>> HostIPv4Addresses();

// Text to IPv4 value. The text is cut at its first three "." into four parts, the
// fourth being the whole remainder; each part, with leading and trailing blanks and
// control characters removed, must be plain decimal digits with a value of 0 to 255
// (no sign, no hexadecimal form). Otherwise EIdException
// "The string <text> does not translate into a valid IP." with the text as given.
IPv4Value ParseIPv4(std::string_view text);
// Dotted-decimal text of an IPv4 value ("192.168.1.10").
std::string IPv4ToString(IPv4Value value);

// Tests addresses against one network given by its mask and address.
class TIdNetworkCalculator {
 public:
  // Sets the mask. It must convert (see ParseIPv4) and its 32 bits, read from the
  // most significant one, must be a run of ones followed only by zeros; otherwise
  // EIdException "Invalid network mask." and the mask stays as it was.
  void SetNetworkMaskAsString(std::string_view text);
  // Sets the network address; any value that converts is accepted.
  void SetNetworkAddressAsString(std::string_view text);

  IPv4Value NetworkMask() const { return mask_; }
  IPv4Value NetworkAddress() const { return address_; }
  std::string NetworkMaskAsString() const { return IPv4ToString(mask_); }
  std::string NetworkAddressAsString() const { return IPv4ToString(address_); }

  // Whether (address AND mask) = (network address AND mask); the text converts as above.
  bool IsAddressInNetwork(std::string_view text) const;

 private:
  IPv4Value mask_ = 0;
  IPv4Value address_ = 0;
};

}  // namespace ruv::net
