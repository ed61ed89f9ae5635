#include "ruv/platform/VersionInfo.h"

#include <algorithm>
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

std::optional<std::vector<std::uint8_t>> Locate(std::string_view fileName) {
  const FileSource source(ruv::fs::NativePath(fileName));
  if (source.Size() == 0) return std::nullopt;
  return detail::LocateVersionResource(source);
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
