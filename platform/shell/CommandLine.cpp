#include "ruv/platform/Shell.h"

namespace ruv::shell {

std::vector<std::string> SplitCommandLine(std::string_view s) {
  std::vector<std::string> args;
  size_t i = 0;
  const auto blank = [&](size_t at) { return s[at] == ' ' || s[at] == '\t'; };
  while (true) {
    while (i < s.size() && blank(i)) ++i;
    if (i >= s.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < s.size() && (quoted || !blank(i))) {
      if (s[i] == '\\') {
        size_t n = 0;
        while (i < s.size() && s[i] == '\\') ++n, ++i;
        if (i < s.size() && s[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2 == 1) {
            arg += '"';
            ++i;
          }
          // With an even count the quote is handled by the next round.
        } else {
          arg.append(n, '\\');
        }
      } else if (s[i] == '"') {
        if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
          arg += '"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += s[i++];
      }
    }
    args.push_back(std::move(arg));
  }
  return args;
}

}  // namespace ruv::shell
