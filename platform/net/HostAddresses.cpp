// The machine's IPv4 addresses out of its interface list.
#include <algorithm>

#include "ruv/platform/Network.h"

namespace ruv::net {
namespace {

bool IsLoopback(IPv4Value address) { return (address >> 24) == 127; }

}  // namespace

std::optional<std::vector<std::string>> HostIPv4Addresses(
    const std::optional<std::vector<InterfaceAddress>>& interfaces) {
  if (!interfaces) return std::nullopt;
  std::vector<IPv4Value> own;
  std::vector<IPv4Value> loopback;
  for (const auto& entry : *interfaces) {
    if (!entry.connected || !entry.ipv4) continue;
    auto& list = IsLoopback(*entry.ipv4) ? loopback : own;
    if (std::find(list.begin(), list.end(), *entry.ipv4) == list.end()) list.push_back(*entry.ipv4);
  }
  // The loopback address stands for a machine that has no other.
  const auto& chosen = own.empty() ? loopback : own;
  std::vector<std::string> addresses;
  addresses.reserve(chosen.size());
  for (const IPv4Value address : chosen) addresses.push_back(IPv4ToString(address));
  return addresses;
}

std::optional<std::vector<std::string>> HostIPv4Addresses() { return HostIPv4Addresses(ReadInterfaceAddresses()); }

}  // namespace ruv::net
