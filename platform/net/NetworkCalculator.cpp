#include "ruv/platform/Exception.h"
#include "ruv/platform/Network.h"

namespace ruv::net {
namespace {

[[noreturn]] void RaiseNotAnAddress(std::string_view text) {
  throw EIdException("The string " + std::string(text) + " does not translate into a valid IP.");
}

// Blanks and control characters, as trimmed around each part.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// One part of an address: plain decimal digits, 0 to 255, after trimming.
std::optional<IPv4Value> ParseOctet(std::string_view part) {
  while (!part.empty() && IsBlank(part.front())) part.remove_prefix(1);
  while (!part.empty() && IsBlank(part.back())) part.remove_suffix(1);
  if (part.empty()) return std::nullopt;
  IPv4Value value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<IPv4Value>(c - '0');
    if (value > 255) return std::nullopt;  // also keeps long digit runs from overflowing
  }
  return value;
}

}  // namespace

IPv4Value ParseIPv4(std::string_view text) {
  IPv4Value result = 0;
  std::string_view rest = text;
  for (int i = 0; i < 4; ++i) {
    std::string_view part = rest;
    if (i < 3) {
      const auto dot = rest.find('.');
      if (dot == std::string_view::npos) RaiseNotAnAddress(text);
      part = rest.substr(0, dot);
      rest.remove_prefix(dot + 1);
    }
    const auto octet = ParseOctet(part);
    if (!octet) RaiseNotAnAddress(text);
    result = (result << 8) | *octet;
  }
  return result;
}

std::string IPv4ToString(IPv4Value value) {
  return std::to_string(value >> 24) + "." + std::to_string((value >> 16) & 0xFF) + "." +
         std::to_string((value >> 8) & 0xFF) + "." + std::to_string(value & 0xFF);
}

void TIdNetworkCalculator::SetNetworkMaskAsString(std::string_view text) {
  const IPv4Value mask = ParseIPv4(text);
  // A run of ones then zeros: the complement plus one is a power of two (or zero).
  const IPv4Value hostBits = ~mask;
  if ((hostBits & (hostBits + 1)) != 0) throw EIdException("Invalid network mask.");
  mask_ = mask;
}

void TIdNetworkCalculator::SetNetworkAddressAsString(std::string_view text) {
  address_ = ParseIPv4(text);
}

bool TIdNetworkCalculator::IsAddressInNetwork(std::string_view text) const {
  return (ParseIPv4(text) & mask_) == (address_ & mask_);
}

}  // namespace ruv::net
