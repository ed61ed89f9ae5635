#include "ruv/provisioning/FileVersion.h"

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <vector>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Text.h"
#include "ruv/platform/VersionInfo.h"

namespace ruv {
namespace {

[[noreturn]] void Fail() { throw Exception(std::string(kVersionInfoErrorMessage)); }

}  // namespace

std::string GetFileVersionString(std::string_view fileName) {
  const std::uint32_t size = version::GetFileVersionInfoSize(fileName);
  if (size == 0) throw Exception(std::string(kNoVersionInfoMessage));
  std::vector<std::uint8_t> info(size);
  if (!version::GetFileVersionInfo(fileName, size, info.data())) Fail();

  const void* value = nullptr;
  std::uint32_t length = 0;
  // The first translation entry: language identifier, then code page. A table
  // without one complete entry is an error like a missing table.
  if (!version::VerQueryValue(info.data(), u"\\VarFileInfo\\Translation", &value, &length) || length < 4) {
    Fail();
  }
  const auto* entry = static_cast<const std::uint8_t*>(value);
  const unsigned language = entry[0] | (entry[1] << 8);
  const unsigned codePage = entry[2] | (entry[3] << 8);
  if (!version::VerQueryValue(info.data(), u"\\", &value, &length)) Fail();

  char path[64];
  std::snprintf(path, sizeof path, "StringFileInfo\\%.4X%.4X\\FileVersion", language, codePage);
  if (!version::VerQueryValue(info.data(), text::Utf8ToUtf16(path), &value, &length) || length == 0) Fail();

  // The value as a NUL-terminated UTF-16LE string, read no further than its
  // reported length and the buffer (a value wrongly marked binary has its
  // length in bytes).
  const auto* units = static_cast<const std::uint8_t*>(value);
  const std::size_t room = (info.size() - static_cast<std::size_t>(units - info.data())) / 2;
  std::u16string text;
  for (std::size_t i = 0; i < std::min<std::size_t>(length, room); ++i) {
    const auto unit = static_cast<char16_t>(units[2 * i] | (units[2 * i + 1] << 8));
    if (unit == u'\0') break;
    text.push_back(unit);
  }
  return text::Utf16ToUtf8(text);
}

}  // namespace ruv
