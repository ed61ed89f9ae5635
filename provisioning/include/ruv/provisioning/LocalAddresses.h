#pragma once
// The list of this machine's IPv4 addresses, as the client network check uses it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ruv::provisioning {

// The entry that stands alone in the list when the machine's network interfaces
// cannot be read. Compared as a whole and with letter case.
inline constexpr const char* kNoIpFound = "No IP found";

// The machine's IPv4 addresses as its network interfaces have them (see
// net::HostIPv4Addresses: interfaces that are up, in their order, each address
// once, loopback only on a machine without another address), as dotted-decimal
// texts; exactly {"No IP found"} when the interfaces cannot be read. Never raises
// for a failed reading. The interfaces are read afresh on every call.
std::vector<std::string> PobierzLokalneAdresyIP();

// Where the address list comes from: the addresses, or std::nullopt for a failed
// reading. Tests install their own; an empty function restores the machine's.
using LocalAddressLookup = std::function<std::optional<std::vector<std::string>>()>;
void SetLocalAddressLookup(LocalAddressLookup lookup);

}  // namespace ruv::provisioning
