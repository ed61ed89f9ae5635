// The text of a fetched configuration file: decoded by its byte-order mark, else
// by the encoding its XML declaration names, else (no encoding named) as UTF-8
// when the bytes are well-formed UTF-8 and as windows-1250 otherwise, and joined
// line by line with CR LF.

#include <string>
#include <string_view>

#include "ruv/platform/Text.h"
#include "ruv/provisioning/Terminals.h"

namespace ruv::provisioning {
namespace {

enum class Encoding { Utf8, Utf16Le, Utf16Be, Windows1250 };

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The value of encoding="..." in the XML declaration at the start of the bytes,
// upper-cased; empty when there is no declaration or it names no encoding.
std::string DeclaredEncoding(std::string_view bytes) {
  if (!StartsWith(bytes, "<?xml")) return "";
  const auto end = bytes.find("?>");
  if (end == std::string_view::npos) return "";
  const std::string_view decl = bytes.substr(0, end);
  auto at = decl.find("encoding");
  if (at == std::string_view::npos) return "";
  at += 8;
  while (at < decl.size() && (decl[at] == ' ' || decl[at] == '\t' || decl[at] == '\r' || decl[at] == '\n')) ++at;
  if (at >= decl.size() || decl[at] != '=') return "";
  ++at;
  while (at < decl.size() && (decl[at] == ' ' || decl[at] == '\t' || decl[at] == '\r' || decl[at] == '\n')) ++at;
  if (at >= decl.size() || (decl[at] != '"' && decl[at] != '\'')) return "";
  const char quote = decl[at++];
  const auto close = decl.find(quote, at);
  if (close == std::string_view::npos) return "";
  return text::AsciiUpper(decl.substr(at, close - at));
}

std::string Utf16(std::string_view bytes, bool littleEndian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(littleEndian ? (b << 8 | a) : (a << 8 | b));
  }
  return text::Utf16ToUtf8(units);
}

// Unicode text of the bytes as UTF-8; malformed UTF-8 becomes U+FFFD.
std::string Decoded(std::string_view bytes) {
  Encoding encoding = Encoding::Windows1250;
  if (StartsWith(bytes, "\xFF\xFE")) {
    encoding = Encoding::Utf16Le;
    bytes.remove_prefix(2);
  } else if (StartsWith(bytes, "\xFE\xFF")) {
    encoding = Encoding::Utf16Be;
    bytes.remove_prefix(2);
  } else if (StartsWith(bytes, "\xEF\xBB\xBF")) {
    encoding = Encoding::Utf8;
    bytes.remove_prefix(3);
  } else if (StartsWith(bytes, std::string_view("<\0?\0", 4))) {
    encoding = Encoding::Utf16Le;  // UTF-16 without a byte-order mark
  } else if (StartsWith(bytes, std::string_view("\0<\0?", 4))) {
    encoding = Encoding::Utf16Be;
  } else {
    const std::string declared = DeclaredEncoding(bytes);
    if (declared == "UTF-8" || declared == "UTF8") {
      encoding = Encoding::Utf8;
    } else if (declared.empty()) {
      // No encoding named: XML's default is UTF-8; a text that is not well-formed
      // UTF-8 is taken as the system's code page.
      if (text::IsValidUtf8(bytes)) encoding = Encoding::Utf8;
    } else if (declared != "WINDOWS-1250" && declared != "CP1250") {
      // Another named encoding (ISO-8859-2, US-ASCII, ...): the system's converter
      // decodes it; one it does not know falls back to the system's code page.
      if (auto text = text::DecodeToUtf8(declared, bytes)) return *text;
    }
  }
  switch (encoding) {
    case Encoding::Utf16Le: return Utf16(bytes, true);
    case Encoding::Utf16Be: return Utf16(bytes, false);
    case Encoding::Utf8: return text::Utf32ToUtf8(text::Utf8ToUtf32(bytes));
    case Encoding::Windows1250: break;
  }
  return text::AnsiToUtf8(bytes);
}

}  // namespace

std::string DekodujTekstKonfiguracji(std::string_view bytes) {
  std::string decoded = Decoded(bytes);
  if (const auto nul = decoded.find('\0'); nul != std::string::npos) decoded.resize(nul);
  std::string joined;
  joined.reserve(decoded.size() + decoded.size() / 16);
  std::size_t start = 0;
  while (start < decoded.size()) {
    const auto end = decoded.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      joined.append(decoded, start, std::string::npos).append("\r\n");
      break;
    }
    joined.append(decoded, start, end - start).append("\r\n");
    start = end + (decoded[end] == '\r' && end + 1 < decoded.size() && decoded[end + 1] == '\n' ? 2 : 1);
  }
  return joined;
}

}  // namespace ruv::provisioning
