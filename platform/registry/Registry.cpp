#include "ruv/platform/Registry.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"

namespace ruv {
namespace {

// The parts of a key path between its backslashes, empty parts dropped. False
// for a part that would leave the key's directory ("." or ".." or one with a
// slash in it).
bool SplitKey(std::string_view key, std::vector<std::string>& parts) {
  size_t start = 0;
  while (start <= key.size()) {
    size_t end = key.find('\\', start);
    if (end == std::string_view::npos) end = key.size();
    std::string_view part = key.substr(start, end - start);
    if (!part.empty()) {
      if (part == "." || part == ".." || part.find('/') != std::string_view::npos) return false;
      parts.emplace_back(part);
    }
    start = end + 1;
  }
  return true;
}

bool ValidValueName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace

std::string UserConfigDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config";
  return {};
}

bool TRegistry::OpenKey(std::string_view key, bool canCreate) {
  const bool relative = key.empty() || key.front() != '\\';
  std::string path = relative && !current_.empty() ? current_ : UserConfigDirectory();
  current_.clear();
  if (path.empty()) return false;
  std::vector<std::string> parts;
  if (!SplitKey(key, parts)) return false;
  // The root itself is made on demand as well: a fresh account may have no
  // configuration directory yet.
  std::vector<std::string> dirs{path};
  for (const auto& part : parts) dirs.push_back(dirs.back() + "/" + part);
  for (const auto& dir : dirs) {
    if (fs::DirectoryExists(dir)) continue;
    if (!canCreate) return false;
    if (::mkdir(dir.c_str(), 0700) != 0 && !(errno == EEXIST && fs::DirectoryExists(dir))) return false;
  }
  current_ = dirs.back();
  return true;
}

void TRegistry::CloseKey() { current_.clear(); }

bool TRegistry::ValueExists(std::string_view name) const {
  return !current_.empty() && ValidValueName(name) && fs::FileExists(current_ + "/" + std::string(name));
}

std::string TRegistry::ReadString(std::string_view name) const {
  const std::string failed = "Failed to get data for '" + std::string(name) + "'";
  if (current_.empty()) throw ERegistryException(failed + ": no key is open");
  if (!ValidValueName(name)) throw ERegistryException(failed + ": invalid value name");
  const std::string file = current_ + "/" + std::string(name);
  if (!fs::FileExists(file)) throw ERegistryException(failed + ": the value does not exist");
  try {
    return fs::ReadFile(file);
  } catch (const EInOutError& e) {
    throw ERegistryException(failed + ": " + e.Message());
  }
}

void TRegistry::WriteString(std::string_view name, std::string_view text) {
  const std::string failed = "Failed to set data for '" + std::string(name) + "'";
  if (current_.empty()) throw ERegistryException(failed + ": the key could not be opened");
  if (!ValidValueName(name)) throw ERegistryException(failed + ": invalid value name");
  try {
    fs::WriteFileAtomically(current_ + "/" + std::string(name), text);
  } catch (const EInOutError& e) {
    throw ERegistryException(failed + ": " + e.Message());
  }
}

}  // namespace ruv
