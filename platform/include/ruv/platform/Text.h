#pragma once
// Text services. Inside the program text is Unicode held as UTF-8 std::string.
// The system's ANSI code page is Windows-1250; bytes cross into or out of it only
// at the edges that keep 8-bit text (side files, the parser's input where a
// document declares windows-1250, and so on).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruv::text {

// Windows-1250 bytes to UTF-8. Exact: the five bytes that Windows-1250 leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 code points of the same
// value, so every byte string survives a round trip.
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 to Windows-1250. A character that the code page cannot represent becomes
// "?" (the code page's default character). Malformed UTF-8 sequences also become "?".
std::string Utf8ToAnsi(std::string_view utf8);

// Whether every character of the UTF-8 text has a Windows-1250 byte.
bool IsRepresentableInAnsi(std::string_view utf8);

// UTF-16 (host order code units) to UTF-8 and back. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
std::u16string Utf8ToUtf16(std::string_view utf8);

// Decodes UTF-8 into code points; malformed sequences yield U+FFFD.
std::u32string Utf8ToUtf32(std::string_view utf8);
std::string Utf32ToUtf8(std::u32string_view utf32);

// Whether the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Bytes in the named encoding (an IANA name the system's converter knows, such as
// "ISO-8859-2" or "US-ASCII") as UTF-8; nullopt when the encoding is unknown or the
// bytes are not valid in it.
std::optional<std::string> DecodeToUtf8(std::string_view encoding, std::string_view bytes);

// Upper case in the ASCII range only ("a".."z" -> "A".."Z"); other bytes unchanged.
std::string AsciiUpper(std::string_view s);

}  // namespace ruv::text
