#pragma once
// The "FileVersion" string of a file's version information. The launcher
// compares versions only as text, and this is where the text comes from: the
// string table of the first translation the file lists, as stored there.

#include <string>
#include <string_view>

namespace ruv {

// The messages of the two failures.
inline constexpr std::string_view kNoVersionInfoMessage = "Nie znaleziono informacji o wersi w pliku";
inline constexpr std::string_view kVersionInfoErrorMessage = "Błąd przy przetwarzaniu informacji o wersji";

// The "FileVersion" value of the first translation's string table, UTF-8, up to
// its first NUL. fileName may be relative (to the current directory) and use
// backslashes as separators. Raises ruv::Exception with kNoVersionInfoMessage
// when the file is missing, unreadable or has no version information, and with
// kVersionInfoErrorMessage when that information cannot be read, lists no
// complete translation, or the first translation has no "FileVersion" value or
// one of length 0. Keeps no state; safe on any thread.
std::string GetFileVersionString(std::string_view fileName);

}  // namespace ruv
