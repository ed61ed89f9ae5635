#pragma once
// Version information of executable files: the VS_VERSIONINFO structure, read the
// way the Windows version API reads it, from
//  - a Windows PE file (PE32 or PE32+): its version resource (type RT_VERSION,
//    name VS_VERSION_INFO = 1); of several languages, the language-neutral one
//    (0x0000), else the user's language, else one of the user's primary
//    language, else English (US) 0x0409, else the first listed. The user's
//    language comes from the locale of messages (LC_ALL, LC_MESSAGES, LANG),
//    read at each call (C, POSIX or no locale: no user's language); and
//  - an ELF file: the section named by kElfVersionSection, which holds the same
//    structure; ruv_stamp_version (cmake/RuvVersion.cmake) puts it into our
//    executables.
// Only the headers and the ranges needed are read, every offset and length is
// checked against the file and the structure, and malformed input makes the
// calls fail; nothing is read outside the file or the caller's buffer.

#include <cstdint>
#include <string_view>

namespace ruv::version {

// The ELF section holding a program's VS_VERSIONINFO structure.
inline constexpr std::string_view kElfVersionSection = ".ruv_version";

// The size in bytes of the file's version information, or 0 when the file is
// missing, unreadable or carries none. Backslashes in fileName are separators;
// a relative name resolves against the current directory.
std::uint32_t GetFileVersionInfoSize(std::string_view fileName);

// Copies the file's version information into data (at most len bytes, len as
// given by GetFileVersionInfoSize). When len is smaller, the copy is cut and its
// root length shortened to match, so VerQueryValue stays inside the buffer.
// False when there is none or its root block is malformed.
bool GetFileVersionInfo(std::string_view fileName, std::uint32_t len, void* data);

// Looks up subBlock in a buffer filled by GetFileVersionInfo. The path's
// components are separated by backslashes; empty components are skipped (so
// "\\VarFileInfo\\Translation" and "VarFileInfo\\Translation" are the same) and
// keys match without regard to ASCII case. "\\" is the root block, whose value
// is the fixed VS_FIXEDFILEINFO block. On success *buffer points at the value
// and *len is its length: in characters for text values (the string entries of
// a string table, NUL included as stored), in bytes for binary values (the fixed
// block, the Translation array). A length that the structure declares past the
// end of its block is reported shortened to what the block holds.
bool VerQueryValue(const void* block, std::u16string_view subBlock, const void** buffer,
                   std::uint32_t* len);

}  // namespace ruv::version
