#include "ruv/platform/VersionInfo.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "VersionResource.h"
#include "ruv/platform/Files.h"

namespace ruv::version {
namespace {

// A regular file read by ranges; only the headers and the structure are read.
class FileSource final : public detail::ByteSource {
 public:
  explicit FileSource(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) return;
    in_.open(path, std::ios::binary);
    if (in_) size_ = size;
  }
  std::uint64_t Size() const override { return size_; }
  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) const override {
    if (offset > size_ || out.size() > size_ - offset) return false;
    in_.clear();
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return in_.gcount() == static_cast<std::streamsize>(out.size());
  }

 private:
  mutable std::ifstream in_;
  std::uint64_t size_ = 0;
};

// Locales and the Windows language identifiers they stand for. A locale of a
// listed language but another (or no) territory stands for that primary
// language alone (sublanguage 0); any other locale, C and POSIX among them, for
// no language.
struct LocaleLanguage {
  std::string_view locale;  // language_TERRITORY
  std::uint16_t id;
};
constexpr LocaleLanguage kLocaleLanguages[] = {
    {"pl_PL", 0x0415}, {"en_US", 0x0409}, {"en_GB", 0x0809}, {"de_DE", 0x0407}, {"de_AT", 0x0C07},
    {"de_CH", 0x0807}, {"cs_CZ", 0x0405}, {"sk_SK", 0x041B}, {"uk_UA", 0x0422}, {"ru_RU", 0x0419},
    {"fr_FR", 0x040C}, {"it_IT", 0x0410}, {"es_ES", 0x0C0A},
};

// The language of a locale name language[_TERRITORY][.codeset][@modifier].
std::optional<std::uint16_t> LanguageOfLocale(std::string_view locale) {
  const std::string_view name = locale.substr(0, locale.find_first_of(".@"));
  const std::string_view language = name.substr(0, name.find('_'));
  for (const auto& known : kLocaleLanguages) {
    if (known.locale == name) return known.id;
  }
  for (const auto& known : kLocaleLanguages) {
    if (known.locale.substr(0, known.locale.find('_')) == language) {
      return static_cast<std::uint16_t>(detail::PrimaryLanguage(known.id));
    }
  }
  return std::nullopt;
}

// The user's language, read from the environment at every call as the C
// library finds the locale of messages: LC_ALL, else LC_MESSAGES, else LANG,
// the first that is set and not empty.
std::optional<std::uint16_t> UserLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return LanguageOfLocale(value);
  }
  return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> Locate(std::string_view fileName) {
  const FileSource source(ruv::fs::NativePath(fileName));
  if (source.Size() == 0) return std::nullopt;
  return detail::LocateVersionResource(source, UserLanguage());
}

}  // namespace

std::uint32_t GetFileVersionInfoSize(std::string_view fileName) {
  const auto info = Locate(fileName);
  return info ? static_cast<std::uint32_t>(info->size()) : 0;
}

bool GetFileVersionInfo(std::string_view fileName, std::uint32_t len, void* data) {
  if (data == nullptr || len < 6) return false;
  const auto info = Locate(fileName);
  if (!info) return false;
  const std::size_t root = detail::RootLength(*info);
  if (root == 0) return false;
  const std::size_t n = std::min<std::size_t>(len, info->size());
  auto* out = static_cast<std::uint8_t*>(data);
  std::memcpy(out, info->data(), n);
  if (root > n) {  // a cut copy: its root block ends with the buffer
    out[0] = static_cast<std::uint8_t>(n & 0xFF);
    out[1] = static_cast<std::uint8_t>(n >> 8);
  }
  return true;
}

bool VerQueryValue(const void* block, std::u16string_view subBlock, const void** buffer,
                   std::uint32_t* len) {
  if (block == nullptr || buffer == nullptr || len == nullptr) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(block);
  const std::size_t root = static_cast<std::size_t>(bytes[0] | (bytes[1] << 8));
  if (root < 6) return false;
  const auto value = detail::QueryValue(std::span(bytes, root), subBlock);
  if (!value) return false;
  *buffer = bytes + value->offset;
  *len = value->length;
  return true;
}

}  // namespace ruv::version
