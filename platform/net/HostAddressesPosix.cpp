// The machine's IPv4 addresses through the POSIX resolver.
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <memory>

#include "ruv/platform/Network.h"

namespace ruv::net {

std::optional<std::vector<std::string>> ResolveIPv4(std::string_view hostName) {
  if (hostName.empty()) return std::nullopt;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  // One socket type, so that each address comes once rather than once per type.
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(std::string(hostName).c_str(), nullptr, &hints, &found) != 0) return std::nullopt;
  std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
  std::vector<std::string> addresses;
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family != AF_INET || a->ai_addr == nullptr) continue;
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
    if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr) addresses.emplace_back(text);
  }
  return addresses;
}

std::optional<std::vector<std::string>> HostIPv4Addresses() {
  char name[HOST_NAME_MAX + 2] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return std::nullopt;
  return ResolveIPv4(name);
}

}  // namespace ruv::net
