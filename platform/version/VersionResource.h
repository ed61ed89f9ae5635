#pragma once
// Inner pieces of the version reader, shared with its fuzz target: finding the
// version structure in a file image, and walking the structure.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace ruv::version::detail {

// The largest VS_VERSIONINFO: its length field has 16 bits.
inline constexpr std::size_t kMaxVersionInfo = 0xFFFF;

// Random access to the bytes of a file (or of a buffer, for tests and fuzzing).
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads exactly out.size() bytes at offset; false when the range is not in the source.
  virtual bool Read(std::uint64_t offset, std::span<std::uint8_t> out) const = 0;
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool Read(std::uint64_t offset, std::span<std::uint8_t> out) const override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// The primary language of a Windows language identifier: its low 10 bits.
constexpr std::uint32_t PrimaryLanguage(std::uint32_t language) { return language & 0x3FF; }

// The bytes of the version structure of a PE or ELF image, at most
// kMaxVersionInfo of them; nothing when the image has none or it cannot be
// reached (an offset or a length outside the image, a malformed header). Of a
// PE version resource in several languages, the one chosen for userLanguage
// (a Windows language identifier, or nothing) as FindResource chooses; an ELF
// section holds a single structure.
std::optional<std::vector<std::uint8_t>> LocateVersionResource(const ByteSource& source,
                                                               std::optional<std::uint16_t> userLanguage);

// The length of a well-formed root block at the start of bytes, or 0.
std::size_t RootLength(std::span<const std::uint8_t> bytes);

struct Value {
  std::size_t offset = 0;   // from the start of the block
  std::uint32_t length = 0; // as VerQueryValue reports it
};

// Looks up path in the structure held by block (its root length already checked
// to fit); see VerQueryValue.
std::optional<Value> QueryValue(std::span<const std::uint8_t> block, std::u16string_view path);

}  // namespace ruv::version::detail
