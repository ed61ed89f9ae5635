#pragma once
// The per-user registry store. Keys are directories below the user's
// configuration directory ($XDG_CONFIG_HOME, else $HOME/.config), which stands
// for HKEY_CURRENT_USER; a key path such as "SOFTWARE\\RUV\\RUV_VIRAD\\" is
// separated by backslashes. Each string value is one file of the key's
// directory, named after the value and holding the text as UTF-8.

#include <string>
#include <string_view>

namespace ruv {

// The directory that stands for HKEY_CURRENT_USER: $XDG_CONFIG_HOME when it is
// set to an absolute path, else $HOME/.config. Empty when neither is known.
std::string UserConfigDirectory();

class TRegistry {
 public:
  TRegistry() = default;
  ~TRegistry() = default;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Makes the key the current one. A path with a leading backslash starts at
  // the root; any other path is relative to the current key when one is open,
  // else to the root. With canCreate the missing directories are created.
  // False when the key does not exist (and may not be created) or cannot be
  // made; then no key is open and every value operation fails.
  bool OpenKey(std::string_view key, bool canCreate);
  // Forgets the current key.
  void CloseKey();
  // The directory of the current key; empty when no key is open.
  const std::string& CurrentPath() const { return current_; }

  // Whether the current key holds a value of that name.
  bool ValueExists(std::string_view name) const;
  // The text of the value. Raises ERegistryException ("Failed to get data for
  // '<name>'" and the reason) when no key is open or the value cannot be read.
  std::string ReadString(std::string_view name) const;
  // Replaces the value's text as a whole: a failure leaves the old text in
  // place. Raises ERegistryException ("Failed to set data for '<name>'" and the
  // reason) when no key is open or the value cannot be written.
  void WriteString(std::string_view name, std::string_view text);

 private:
  std::string current_;
};

}  // namespace ruv
