#include "VersionResource.h"

#include "ruv/platform/VersionInfo.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace ruv::version::detail {
namespace {

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) | (static_cast<std::uint32_t>(U16(b, at + 2)) << 16);
}
std::uint64_t U64(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint64_t>(U32(b, at)) | (static_cast<std::uint64_t>(U32(b, at + 4)) << 32);
}

std::optional<std::vector<std::uint8_t>> ReadRange(const ByteSource& src, std::uint64_t offset,
                                                   std::uint64_t size) {
  if (offset > src.Size() || size > src.Size() - offset) return std::nullopt;
  std::vector<std::uint8_t> out(static_cast<std::size_t>(size));
  if (!src.Read(offset, out)) return std::nullopt;
  return out;
}

// --- PE: the resource directory tree, type -> name -> language ------------------

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVsVersionInfo = 1;
constexpr std::uint32_t kSubdirectory = 0x80000000u;
// Language identifiers: LANG_NEUTRAL with SUBLANG_NEUTRAL, and English (US).
constexpr std::uint32_t kLanguageNeutral = 0x0000;
constexpr std::uint32_t kEnglishUs = 0x0409;

class PeImage {
 public:
  explicit PeImage(const ByteSource& src) : src_(src) {}

  std::optional<std::vector<std::uint8_t>> VersionResource(std::optional<std::uint16_t> userLanguage) {
    const auto dos = ReadRange(src_, 0, 64);
    if (!dos || (*dos)[0] != 'M' || (*dos)[1] != 'Z') return std::nullopt;
    const std::uint64_t pe = U32(*dos, 0x3C);
    const auto coff = ReadRange(src_, pe, 24);
    if (!coff || std::memcmp(coff->data(), "PE\0\0", 4) != 0) return std::nullopt;
    const std::uint16_t sections = U16(*coff, 6);
    const std::uint16_t optSize = U16(*coff, 20);
    const auto opt = ReadRange(src_, pe + 24, optSize);
    if (!opt || optSize < 2) return std::nullopt;
    const std::uint16_t magic = U16(*opt, 0);
    const std::size_t dirs = magic == 0x10B ? 96 : magic == 0x20B ? 112 : 0;
    if (dirs == 0 || optSize < dirs + 3 * 8 || U32(*opt, dirs - 4) < 3) return std::nullopt;
    rsrc_ = U32(*opt, dirs + 2 * 8);
    if (rsrc_ == 0) return std::nullopt;
    const auto table = ReadRange(src_, pe + 24 + optSize, std::uint64_t{sections} * 40);
    if (!table) return std::nullopt;
    table_ = std::move(*table);

    const auto names = Find(0, kRtVersion, true);
    const auto langs = names ? Find(*names, kVsVersionInfo, true) : std::nullopt;
    const auto entry = langs ? FindLanguage(*langs, userLanguage) : std::nullopt;
    const auto data = entry ? ReadRva(rsrc_ + *entry, 16) : std::nullopt;
    if (!data) return std::nullopt;
    const std::uint32_t rva = U32(*data, 0);
    const std::uint32_t size = U32(*data, 4);
    // The whole resource must lie in the file; only its first 64 KiB can matter.
    if (size == 0 || !Map(rva, size)) return std::nullopt;
    return ReadRva(rva, std::min<std::uint64_t>(size, kMaxVersionInfo));
  }

 private:
  // The file offset of [rva, rva + size) when a section's raw data holds all of it.
  std::optional<std::uint64_t> Map(std::uint64_t rva, std::uint64_t size) const {
    for (std::size_t s = 0; s + 40 <= table_.size(); s += 40) {
      const std::uint64_t va = U32(table_, s + 12);
      const std::uint64_t raw = U32(table_, s + 16);
      const std::uint64_t ptr = U32(table_, s + 20);
      if (rva >= va && rva - va < raw && size <= raw - (rva - va)) return ptr + (rva - va);
    }
    return std::nullopt;
  }
  std::optional<std::vector<std::uint8_t>> ReadRva(std::uint64_t rva, std::uint64_t size) const {
    const auto at = Map(rva, size);
    return at ? ReadRange(src_, *at, size) : std::nullopt;
  }
  struct Entry {
    std::uint32_t name = 0;    // an id, or a name's offset with the high bit set
    std::uint32_t target = 0;  // a subdirectory's offset with the high bit set, or a data entry's
  };
  // The entries of the directory at dir (an offset into the resource section),
  // named ones first, as listed.
  std::optional<std::vector<Entry>> Entries(std::uint32_t dir) const {
    const auto head = ReadRva(std::uint64_t{rsrc_} + dir, 16);
    if (!head) return std::nullopt;
    const std::uint32_t count = std::uint32_t{U16(*head, 12)} + U16(*head, 14);
    const auto bytes = ReadRva(std::uint64_t{rsrc_} + dir + 16, std::uint64_t{count} * 8);
    if (!bytes) return std::nullopt;
    std::vector<Entry> entries(count);
    for (std::uint32_t i = 0; i < count; ++i) entries[i] = {U32(*bytes, i * 8), U32(*bytes, i * 8 + 4)};
    return entries;
  }
  // The offset an entry points at, when it is of the expected kind (a
  // subdirectory or a data entry). Only three levels are ever followed, so a
  // directory pointing back at itself cannot loop.
  static std::optional<std::uint32_t> Target(const Entry& entry, bool subdirectory) {
    if (((entry.target & kSubdirectory) != 0) != subdirectory) return std::nullopt;
    return entry.target & ~kSubdirectory;
  }
  // In the directory at dir, the first entry with the given id.
  std::optional<std::uint32_t> Find(std::uint32_t dir, std::uint32_t id, bool subdirectory) const {
    const auto entries = Entries(dir);
    if (!entries) return std::nullopt;
    const auto it = std::find_if(entries->begin(), entries->end(), [&](const Entry& e) { return e.name == id; });
    return it == entries->end() ? std::nullopt : Target(*it, subdirectory);
  }
  // In the language directory at dir, the data entry that the Windows resource
  // loader takes: the language-neutral one, else the user's language, else one
  // of the user's primary language (the first listed), else English (US), else
  // the first listed. Named entries never match a language.
  std::optional<std::uint32_t> FindLanguage(std::uint32_t dir, std::optional<std::uint16_t> user) const {
    const auto entries = Entries(dir);
    if (!entries || entries->empty()) return std::nullopt;
    auto first = [&](auto matches) -> const Entry* {
      const auto it = std::find_if(entries->begin(), entries->end(),
                                   [&](const Entry& e) { return e.name <= 0xFFFF && matches(e.name); });
      return it == entries->end() ? nullptr : &*it;
    };
    const Entry* chosen = first([](std::uint32_t id) { return id == kLanguageNeutral; });
    if (chosen == nullptr && user) chosen = first([&](std::uint32_t id) { return id == *user; });
    if (chosen == nullptr && user) {
      chosen = first([&](std::uint32_t id) { return PrimaryLanguage(id) == PrimaryLanguage(*user); });
    }
    if (chosen == nullptr) chosen = first([](std::uint32_t id) { return id == kEnglishUs; });
    if (chosen == nullptr) chosen = &entries->front();
    return Target(*chosen, false);
  }

  const ByteSource& src_;
  std::uint32_t rsrc_ = 0;
  std::vector<std::uint8_t> table_;
};

// --- ELF: the section named .ruv_version ----------------------------------------

std::optional<std::vector<std::uint8_t>> ElfVersionSection(const ByteSource& src) {
  const auto ident = ReadRange(src, 0, 16);
  if (!ident || std::memcmp(ident->data(), "\x7f" "ELF", 4) != 0 || (*ident)[5] != 1) {
    return std::nullopt;  // not ELF, or not little-endian
  }
  const bool is64 = (*ident)[4] == 2;
  if (!is64 && (*ident)[4] != 1) return std::nullopt;
  const auto eh = ReadRange(src, 0, is64 ? 64 : 52);
  if (!eh) return std::nullopt;
  const std::uint64_t shoff = is64 ? U64(*eh, 0x28) : U32(*eh, 0x20);
  const std::uint16_t shentsize = U16(*eh, is64 ? 0x3A : 0x2E);
  const std::uint16_t shnum = U16(*eh, is64 ? 0x3C : 0x30);
  const std::uint16_t shstrndx = U16(*eh, is64 ? 0x3E : 0x32);
  const std::size_t minEntry = is64 ? 64 : 40;
  if (shnum == 0 || shstrndx >= shnum || shentsize < minEntry || shentsize > 256) return std::nullopt;
  const auto table = ReadRange(src, shoff, std::uint64_t{shnum} * shentsize);
  if (!table) return std::nullopt;
  struct Section {
    std::uint32_t name, type;
    std::uint64_t offset, size;
  };
  auto section = [&](std::size_t i) {
    const std::size_t at = i * shentsize;
    return is64 ? Section{U32(*table, at), U32(*table, at + 4), U64(*table, at + 24), U64(*table, at + 32)}
                : Section{U32(*table, at), U32(*table, at + 4), U32(*table, at + 16), U32(*table, at + 20)};
  };
  const Section strtab = section(shstrndx);
  std::array<std::uint8_t, kElfVersionSection.size() + 1> name{};
  for (std::size_t i = 0; i < shnum; ++i) {
    const Section s = section(i);
    constexpr std::uint32_t kNoBits = 8;
    if (s.type == kNoBits || s.name >= strtab.size || name.size() > strtab.size - s.name) continue;
    if (!src.Read(strtab.offset + s.name, name) ||
        std::memcmp(name.data(), kElfVersionSection.data(), name.size()) != 0) {
      continue;  // the comparison takes in the terminating NUL
    }
    if (s.size == 0) return std::nullopt;
    if (s.offset > src.Size() || s.size > src.Size() - s.offset) return std::nullopt;
    return ReadRange(src, s.offset, std::min<std::uint64_t>(s.size, kMaxVersionInfo));
  }
  return std::nullopt;
}

// --- The VS_VERSIONINFO structure -----------------------------------------------
// Each block: wLength (bytes of the block, children included), wValueLength (of
// the value: in characters when wType is 1, text; in bytes when wType is 0),
// wType, a NUL-terminated UTF-16LE key, padding to 32 bits, the value, padding
// to 32 bits, the children. Offsets are aligned from the start of the structure.

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

struct Block {
  std::size_t begin = 0, end = 0;
  std::size_t keyBegin = 0, keyUnits = 0;
  std::size_t value = 0;
  std::uint32_t valueLength = 0;  // as reported: shortened to what the block holds
  std::size_t children = 0;
};

std::optional<Block> ParseBlock(std::span<const std::uint8_t> s, std::size_t begin, std::size_t limit) {
  if (begin > limit || limit - begin < 6) return std::nullopt;
  const std::size_t length = U16(s, begin);
  if (length < 6 || length > limit - begin) return std::nullopt;
  Block b;
  b.begin = begin;
  b.end = begin + length;
  b.keyBegin = begin + 6;
  std::size_t pos = b.keyBegin;
  while (pos + 2 <= b.end && U16(s, pos) != 0) pos += 2;
  if (pos + 2 > b.end) return std::nullopt;  // the key has no NUL inside the block
  b.keyUnits = (pos - b.keyBegin) / 2;
  const std::uint32_t declared = U16(s, begin + 2);
  const bool text = U16(s, begin + 4) != 0;
  const std::size_t bytes = text ? std::size_t{declared} * 2 : declared;
  b.value = std::min(Align4(pos + 2), b.end);
  const std::size_t room = b.end - b.value;
  b.valueLength = static_cast<std::uint32_t>(std::min<std::size_t>(declared, text ? room / 2 : room));
  b.children = std::min(Align4(b.value + bytes), b.end);
  return b;
}

bool KeyIs(std::span<const std::uint8_t> s, const Block& b, std::u16string_view key) {
  if (b.keyUnits != key.size()) return false;
  auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (fold(static_cast<char16_t>(U16(s, b.keyBegin + 2 * i))) != fold(key[i])) return false;
  }
  return true;
}

std::optional<Block> FindChild(std::span<const std::uint8_t> s, const Block& parent,
                               std::u16string_view key) {
  // Children start at strictly increasing offsets (each is at least 6 bytes).
  for (std::size_t pos = parent.children; pos < parent.end;) {
    const auto child = ParseBlock(s, pos, parent.end);
    if (!child) return std::nullopt;
    if (KeyIs(s, *child, key)) return child;
    pos = Align4(child->end);
  }
  return std::nullopt;
}

}  // namespace

bool MemorySource::Read(std::uint64_t offset, std::span<std::uint8_t> out) const {
  if (offset > bytes_.size() || out.size() > bytes_.size() - offset) return false;
  std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  return true;
}

std::optional<std::vector<std::uint8_t>> LocateVersionResource(const ByteSource& source,
                                                               std::optional<std::uint16_t> userLanguage) {
  if (auto pe = PeImage(source).VersionResource(userLanguage)) return pe;
  return ElfVersionSection(source);
}

std::size_t RootLength(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 6) return 0;
  const std::size_t length = U16(bytes, 0);
  return length >= 6 && length <= bytes.size() ? length : 0;
}

std::optional<Value> QueryValue(std::span<const std::uint8_t> block, std::u16string_view path) {
  auto node = ParseBlock(block, 0, block.size());
  while (node && !path.empty()) {
    const std::size_t slash = path.find(u'\\');
    const std::u16string_view key = path.substr(0, slash);
    path = slash == std::u16string_view::npos ? std::u16string_view{} : path.substr(slash + 1);
    if (!key.empty()) node = FindChild(block, *node, key);
  }
  if (!node) return std::nullopt;
  return Value{node->value, node->valueLength};
}

}  // namespace ruv::version::detail
