#pragma once
// String-list services: splitting a delimited text into its items.

#include <string>
#include <string_view>
#include <vector>

namespace ruv::strings {

// Splits text by the string list's delimited-text rules in their non-strict form:
// - blanks and control characters (bytes 1..32) separate items as the delimiter
//   does; a run of them counts once, and those next to a delimiter belong to it;
//   leading ones are skipped;
// - an item that begins with the quote character runs to the matching closing
//   quote, a doubled quote inside it standing for one quote; text right after the
//   closing quote starts a new item; an unclosed quote runs to the end of the text;
// - a delimiter at the start or at the very end, or two delimiters with only
//   blanks between them, yield an empty item (a delimiter followed by blanks at the
//   end yields none);
// - a NUL byte ends the text.
// Items keep their order. An empty text, or one of blanks only, has no items.
std::vector<std::string> SplitDelimitedText(std::string_view text, char delimiter = ';', char quote = '"');

}  // namespace ruv::strings
