// libFuzzer target of the version reader: the input is a file image (PE, ELF or
// anything), located and, when a structure is found, walked the way
// GetFileVersionString walks it, for several user's languages; the input is
// also walked as a bare structure.
// Built by tools/fuzz/version.sh, never by the default build.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "VersionResource.h"
#include "ruv/platform/VersionInfo.h"

namespace {

void Walk(std::vector<std::uint8_t> info) {
  if (ruv::version::detail::RootLength(info) == 0) return;
  const void* value = nullptr;
  std::uint32_t length = 0;
  volatile std::uint32_t sink = 0;
  for (auto path : {u"\\", u"\\\\", u"", u"StringFileInfo", u"\\VarFileInfo\\Translation",
                    u"VarFileInfo\\Translation\\x"}) {
    if (ruv::version::VerQueryValue(info.data(), path, &value, &length)) {
      const auto* bytes = static_cast<const std::uint8_t*>(value);
      for (std::uint32_t i = 0; i < length; ++i) sink = sink + bytes[i];  // binary: length in bytes
    }
  }
  if (!ruv::version::VerQueryValue(info.data(), u"\\VarFileInfo\\Translation", &value, &length) || length < 4) {
    return;
  }
  const auto* t = static_cast<const std::uint8_t*>(value);
  char key[64];
  std::snprintf(key, sizeof key, "StringFileInfo\\%.4X%.4X\\FileVersion", t[0] | (t[1] << 8), t[2] | (t[3] << 8));
  const std::u16string path(key, key + std::strlen(key));
  if (ruv::version::VerQueryValue(info.data(), path, &value, &length)) {
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    const std::size_t room = (info.size() - static_cast<std::size_t>(bytes - info.data())) / 2;
    for (std::uint32_t i = 0; i < length && i < room; ++i) sink = sink + bytes[2 * i] + bytes[2 * i + 1];
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ruv::version::detail::MemorySource source(std::span(data, size));
  // Every step of the choice among a resource's languages: no user's language,
  // English (US), Polish, and German (Austria), which the tool chain's German
  // resources meet only by primary language.
  for (const std::optional<std::uint16_t> user :
       {std::optional<std::uint16_t>{}, std::optional<std::uint16_t>{0x0409}, std::optional<std::uint16_t>{0x0415},
        std::optional<std::uint16_t>{0x0C07}}) {
    if (auto info = ruv::version::detail::LocateVersionResource(source, user)) Walk(std::move(*info));
  }
  Walk(std::vector<std::uint8_t>(data, data + std::min(size, ruv::version::detail::kMaxVersionInfo)));
  return 0;
}
