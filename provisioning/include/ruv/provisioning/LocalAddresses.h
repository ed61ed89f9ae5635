#pragma once
// The list of this machine's IPv4 addresses, as the client network check uses it.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ruv::provisioning {

// The entry that stands alone in the list when the host name cannot be read or
// looked up. Compared as a whole and with letter case.
inline constexpr const char* kNoIpFound = "No IP found";

// The IPv4 addresses of the machine's host name as dotted-decimal texts, in the
// resolver's order, duplicates kept; exactly {"No IP found"} when the host name
// cannot be read or looked up. Never raises for a failed lookup. A fresh lookup
// is made on every call.
std::vector<std::string> PobierzLokalneAdresyIP();

// Where the address list comes from: the addresses, or std::nullopt for a failed
// lookup. Tests install their own; an empty function restores the machine's lookup.
using LocalAddressLookup = std::function<std::optional<std::vector<std::string>>()>;
void SetLocalAddressLookup(LocalAddressLookup lookup);

}  // namespace ruv::provisioning
