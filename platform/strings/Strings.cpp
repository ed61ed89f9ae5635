#include "ruv/platform/Strings.h"

namespace ruv::strings {
namespace {

// Blanks and control characters, the separators besides the delimiter. Bytes of
// multi-byte UTF-8 characters are above the blank and belong to items.
bool IsBlank(char c) { return c >= 1 && c <= ' '; }

}  // namespace

std::vector<std::string> SplitDelimitedText(std::string_view text, char delimiter, char quote) {
  if (const auto nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  std::vector<std::string> items;
  size_t p = 0;
  const size_t end = text.size();
  auto skipBlanks = [&] {
    while (p < end && IsBlank(text[p])) ++p;
  };
  skipBlanks();
  while (p < end) {
    std::string item;
    if (text[p] == quote) {
      ++p;
      while (p < end) {
        if (text[p] == quote) {
          if (p + 1 < end && text[p + 1] == quote) {
            item += quote;
            p += 2;
            continue;
          }
          ++p;  // the closing quote
          break;
        }
        item += text[p++];
      }
    } else {
      const size_t start = p;
      while (p < end && !IsBlank(text[p]) && text[p] != delimiter) ++p;
      item.assign(text.substr(start, p - start));
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (p < end && text[p] == delimiter) {
      if (p + 1 == end) items.emplace_back();
      ++p;
      skipBlanks();
    }
  }
  return items;
}

}  // namespace ruv::strings
