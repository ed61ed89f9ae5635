// Described files: local and request paths, the local version, the fetch and the
// target directories.

#include "ruv/provisioning/Plik.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Text.h"
#include "ruv/provisioning/Download.h"
#include "ruv/provisioning/DownloadLimits.h"
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

namespace {

// The directories that the fetches in progress in this process write into, and
// every level above them, by identity (device and inode, so that two spellings of
// one directory are one). Making the levels of a target path, creating the file
// in them, and removing empty levels happen under the lock, and a level in use is
// never removed: a fetch that fails cannot take away a directory that another
// fetch has just found or made, nor one that holds another fetch's unnamed
// temporary file (which leaves the directory looking empty).
struct KatalogiWUzyciu {
  std::mutex mutex;
  std::multiset<std::pair<dev_t, ino_t>> poziomy;
};

KatalogiWUzyciu& WUzyciu() {
  static auto* katalogi = new KatalogiWUzyciu;  // used by workers until the process ends
  return *katalogi;
}

std::optional<std::pair<dev_t, ino_t>> Tozsamosc(const std::string& katalog) {
  struct stat st {};
  if (::stat(katalog.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return std::pair{st.st_dev, st.st_ino};
}

// The native paths of a target path's levels, outermost first ("a/", "a/b/", ...).
std::vector<std::string> SciezkiPoziomow(const std::string& sciezkaDocelowa) {
  std::vector<std::string> sciezki;
  if (sciezkaDocelowa.empty()) return sciezki;
  std::string path;
  for (const auto& level : Levels(sciezkaDocelowa)) {
    path += level + "\\";
    sciezki.push_back(fs::NativePath(path));
  }
  return sciezki;
}

// Removes the directory when it is empty and no fetch in progress uses it. Called
// under the lock.
void UsunJesliPustyINieUzywany(const std::string& katalog) {
  const auto id = Tozsamosc(katalog);
  if (!id || WUzyciu().poziomy.count(*id) != 0) return;
  ::rmdir(katalog.c_str());  // a directory that holds anything stays
}

// The levels a fetch makes, and removes again, under the lock.
std::vector<std::string> UtworzPoziomyBezBlokady(const TOpisPliku& opis) {
  std::vector<std::string> utworzone;
  for (const std::string& native : SciezkiPoziomow(opis.PobierzSciezkeDocelowa())) {
    if (fs::DirectoryExists(native)) continue;
    if (::mkdir(native.c_str(), 0777) == 0) {
      utworzone.push_back(native);
    } else if (!fs::DirectoryExists(native)) {
      // A directory that appears meanwhile (another launcher) is as good as one made here.
      throw EWrongFilePath("Błąd przy tworzeniu ściężki dla pliku \"" + opis.PobierzNazwe() + "\"");
    }
  }
  return utworzone;
}

void UsunSciezkeDocelowaBezBlokady(const TOpisPliku& opis) {
  const auto sciezki = SciezkiPoziomow(opis.PobierzSciezkeDocelowa());
  for (auto it = sciezki.rbegin(); it != sciezki.rend(); ++it) {
    if (*it != "/") UsunJesliPustyINieUzywany(*it);
  }
}

// A terminal file as it arrives: written into a temporary file beside its target
// and renamed over the target once whole, so that it is never held in memory. The
// target directories are made only when the first bytes of a served body arrive
// (for an empty body, once it has been served), so a fetch that brings nothing
// touches no disk; a fetch that fails after that removes the directories it made,
// except those another fetch in progress uses.
class TZapisPobieranegoPliku final : public IDownloadTarget {
 public:
  TZapisPobieranegoPliku(const TOpisPliku& opis, bool executable) : opis_(opis), executable_(executable) {}
  ~TZapisPobieranegoPliku() {
    plik_.reset();
    const std::lock_guard lock(WUzyciu().mutex);
    Zwolnij();
  }

  // A template's attempt begins afresh: the temporary of an earlier one goes.
  void Begin() override { plik_.reset(); }
  void Write(std::string_view bytes) override {
    Otworz();
    plik_->Write(bytes);
  }
  // The body is whole: the file replaces the target. Raises EInOutError when it
  // cannot be written, EWrongFilePath when its directories cannot be made.
  void Zatwierdz() {
    Otworz();
    plik_->Commit();
    plik_.reset();
  }
  // The fetch failed: its temporary goes, and so do the directories it made.
  void Porzuc() {
    plik_.reset();
    const std::lock_guard lock(WUzyciu().mutex);
    Zwolnij();
    for (auto it = utworzone_.rbegin(); it != utworzone_.rend(); ++it) UsunJesliPustyINieUzywany(*it);
    utworzone_.clear();
  }

 private:
  // Makes the levels that are missing and the temporary file in them, and marks
  // the levels as in use until the fetch ends.
  void Otworz() {
    if (plik_) return;
    const std::lock_guard lock(WUzyciu().mutex);
    try {
      const auto utworzone = UtworzPoziomyBezBlokady(opis_);
      utworzone_.insert(utworzone_.end(), utworzone.begin(), utworzone.end());
    } catch (const Exception&) {
      UsunSciezkeDocelowaBezBlokady(opis_);
      throw;
    }
    plik_.emplace(fs::NativePath(opis_.PobierzPelnaNazwe()), executable_);
    if (zajete_.empty()) {
      for (const std::string& poziom : SciezkiPoziomow(opis_.PobierzSciezkeDocelowa())) {
        if (const auto id = Tozsamosc(poziom)) zajete_.push_back(WUzyciu().poziomy.insert(*id));
      }
    }
  }
  // The levels are no longer in use by this fetch. Called under the lock.
  void Zwolnij() {
    for (const auto it : zajete_) WUzyciu().poziomy.erase(it);
    zajete_.clear();
  }

  const TOpisPliku& opis_;
  const bool executable_;
  std::vector<std::string> utworzone_;
  std::vector<std::multiset<std::pair<dev_t, ino_t>>::iterator> zajete_;
  std::optional<fs::AtomicFileWriter> plik_;
};

}  // namespace

bool TOpisPliku::download(bool executable, std::int64_t maxBytes) const {
  const std::string name = PobierzNazwe();
  if (name.empty()) return false;
  TZapisPobieranegoPliku zapis(*this, executable || EndsWithExe(name));
  try {
    downloadToTarget(resources::SzablonyAdresow(), PobierzSciezkeZrodlowa(), zapis, maxBytes);
    zapis.Zatwierdz();
  } catch (const EWrongFilePath&) {
    throw;  // the empty levels are gone already
  } catch (const EInOutError&) {
    // A file that cannot be written (in use, read-only medium, a full disk, a
    // directory in its place) keeps what it had, and the directories made for it
    // go; the caller goes on with the next file.
    zapis.Porzuc();
    return false;
  } catch (...) {
    zapis.Porzuc();
    throw;
  }
  return true;
}

std::vector<std::string> TOpisPliku::UtworzPoziomy() const {
  const std::lock_guard lock(WUzyciu().mutex);
  return UtworzPoziomyBezBlokady(*this);
}

void TOpisPliku::UtworzSciezkeDocelowa() const { UtworzPoziomy(); }

void TOpisPliku::UsunSciezkeDocelowa() const {
  const std::lock_guard lock(WUzyciu().mutex);
  UsunSciezkeDocelowaBezBlokady(*this);
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
