// The machine's network interfaces and their addresses, as the kernel lists them.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

#include "ruv/platform/Network.h"

namespace ruv::net {

std::optional<std::vector<InterfaceAddress>> ReadInterfaceAddresses() {
  ifaddrs* found = nullptr;
  if (::getifaddrs(&found) != 0) return std::nullopt;
  std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owner(found, &::freeifaddrs);
  std::vector<InterfaceAddress> interfaces;
  for (const ifaddrs* a = found; a != nullptr; a = a->ifa_next) {
    InterfaceAddress entry;
    // IFF_RUNNING: the interface is up and its link is, what `ip link` shows as
    // LOWER_UP (a card whose cable is out, or a virtual one whose peer is down, is
    // up but not running).
    constexpr unsigned kConnected = IFF_UP | IFF_RUNNING;
    entry.connected = (a->ifa_flags & kConnected) == kConnected;
    if (a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET) {
      entry.ipv4 = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
    }
    interfaces.push_back(entry);
  }
  return interfaces;
}

}  // namespace ruv::net
