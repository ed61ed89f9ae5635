#include "ruv/provisioning/LocalAddresses.h"

#include <mutex>

#include "ruv/platform/Network.h"

namespace ruv::provisioning {
namespace {

std::mutex& LookupMutex() {
  static std::mutex m;
  return m;
}

LocalAddressLookup& InstalledLookup() {
  static LocalAddressLookup lookup;
  return lookup;
}

}  // namespace

void SetLocalAddressLookup(LocalAddressLookup lookup) {
  std::lock_guard lock(LookupMutex());
  InstalledLookup() = std::move(lookup);
}

std::vector<std::string> PobierzLokalneAdresyIP() {
  LocalAddressLookup lookup;
  {
    std::lock_guard lock(LookupMutex());
    lookup = InstalledLookup();
  }
  auto addresses = lookup ? lookup() : net::HostIPv4Addresses();
  if (!addresses) return {kNoIpFound};
  return std::move(*addresses);
}

}  // namespace ruv::provisioning
