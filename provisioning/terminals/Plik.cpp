// Described files: local and request paths, the local version, the fetch and the
// target directories.

#include "ruv/provisioning/Plik.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Text.h"
#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/FileVersion.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/provisioning/Terminals.h"

namespace ruv::provisioning {
namespace {

// A path's levels: the text split at every backslash, blanks belonging to their level.
std::vector<std::string> Levels(const std::string& path) {
  std::vector<std::string> levels;
  std::string::size_type start = 0;
  while (true) {
    const auto end = path.find('\\', start);
    levels.push_back(path.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return levels;
}

std::string Joined(const std::string& first, const std::string& name) {
  return first.empty() ? name : first + "\\" + name;
}

bool EndsWithExe(const std::string& name) {
  return name.size() >= 4 && text::AsciiUpper(name.substr(name.size() - 4)) == ".EXE";
}

}  // namespace

TOpisPliku::TOpisPliku(config::IXMLFileTypePtr dane) : dane_(std::move(dane)) {}

namespace {
const config::IXMLFileTypePtr& Checked(const config::IXMLFileTypePtr& dane) {
  if (!dane) throw Exception("Nie wybrano opisu pliku");
  return dane;
}
}  // namespace

std::string TOpisPliku::PobierzNazwe() const { return Checked(dane_)->Get_Name(); }
std::string TOpisPliku::PobierzSciezkeDocelowa() const { return Checked(dane_)->Get_Target_path(); }
std::string TOpisPliku::PobierzHashPliku() const { return Checked(dane_)->Get_Hash(); }
std::string TOpisPliku::PobierzPelnaNazwe() const { return Joined(PobierzSciezkeDocelowa(), PobierzNazwe()); }
std::string TOpisPliku::PobierzSciezkeZrodlowa() const {
  return Joined(Checked(dane_)->Get_Source_path(), PobierzNazwe());
}

std::string TOpisPliku::PobierzWersjeLokalnegoPliku() const {
  try {
    return GetFileVersionString(PobierzPelnaNazwe());
  } catch (const std::exception&) {
    return "";
  }
}

bool TOpisPliku::download(bool executable) const {
  const std::string name = PobierzNazwe();
  if (name.empty()) return false;
  TMemoryStream stream = downloadToStream(resources::SzablonyAdresow(), PobierzSciezkeZrodlowa());
  try {
    UtworzSciezkeDocelowa();
  } catch (const Exception&) {
    UsunSciezkeDocelowa();
    throw;
  }
  try {
    // The stream is released after the write in any case, so the write may hand
    // its memory back while it goes.
    fs::MoveIntoFileAtomically(fs::NativePath(PobierzPelnaNazwe()), stream.TakeBytes(),
                               executable || EndsWithExe(name));
  } catch (const Exception&) {
    // A file that cannot be written (in use, read-only medium, a directory in its
    // place) keeps what it had; the caller goes on with the next file.
    return false;
  }
  return true;
}

void TOpisPliku::UtworzSciezkeDocelowa() const {
  const std::string target = PobierzSciezkeDocelowa();
  if (target.empty()) return;
  std::string path;
  for (const auto& level : Levels(target)) {
    path += level + "\\";
    const std::string native = fs::NativePath(path);
    if (fs::DirectoryExists(native)) continue;
    // A directory that appears meanwhile (another launcher) is as good as one made here.
    if (::mkdir(native.c_str(), 0777) != 0 && !fs::DirectoryExists(native)) {
      throw EWrongFilePath("Błąd przy tworzeniu ściężki dla pliku \"" + PobierzNazwe() + "\"");
    }
  }
}

void TOpisPliku::UsunSciezkeDocelowa() const {
  const std::string target = PobierzSciezkeDocelowa();
  if (target.empty()) return;
  auto levels = Levels(target);
  while (!levels.empty()) {
    std::string path;
    for (std::size_t i = 0; i < levels.size(); ++i) path += (i ? "\\" : "") + levels[i];
    if (!path.empty()) ::rmdir(fs::NativePath(path).c_str());  // a directory that holds anything stays
    levels.pop_back();
  }
}

// ---- TPlik: the same on the current description ----

namespace {
TOpisPliku Biezacy() { return TOpisPliku(TPlik::DanePliku()); }
}  // namespace

std::string TPlik::PobierzNazwe() { return Biezacy().PobierzNazwe(); }
std::string TPlik::PobierzSciezkeDocelowa() { return Biezacy().PobierzSciezkeDocelowa(); }
std::string TPlik::PobierzHashPliku() { return Biezacy().PobierzHashPliku(); }
std::string TPlik::PobierzPelnaNazwe() { return Biezacy().PobierzPelnaNazwe(); }
std::string TPlik::PobierzWersjeLokalnegoPliku() { return Biezacy().PobierzWersjeLokalnegoPliku(); }
void TPlik::download(bool executable) { Biezacy().download(executable); }
void TPlik::UtworzSciezkeDocelowa() { Biezacy().UtworzSciezkeDocelowa(); }
void TPlik::UsunSciezkeDocelowa() { Biezacy().UsunSciezkeDocelowa(); }

}  // namespace ruv::provisioning
