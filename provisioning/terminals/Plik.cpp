// Described files: local and request paths, the local version, the fetch and the
// target directories.

#include "ruv/provisioning/Plik.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string_view>
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

// A terminal file as it arrives: written into a temporary file beside its target
// and renamed over the target once whole, so that it is never held in memory. The
// target directories are made only when the first bytes of a served body arrive
// (for an empty body, once it has been served), so a fetch that brings nothing
// touches no disk; a fetch that fails after that removes the directories it made.
class TZapisPobieranegoPliku final : public IDownloadTarget {
 public:
  TZapisPobieranegoPliku(const TOpisPliku& opis, bool executable) : opis_(opis), executable_(executable) {}

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
    for (auto it = utworzone_.rbegin(); it != utworzone_.rend(); ++it) ::rmdir(it->c_str());
    utworzone_.clear();
  }

 private:
  void Otworz() {
    if (plik_) return;
    UtworzKatalogi();
    const std::string pelna = fs::NativePath(opis_.PobierzPelnaNazwe());
    try {
      plik_.emplace(pelna, executable_);
    } catch (const EInOutError&) {
      // Another fetch into the same directories that failed may have removed an
      // empty one between their making and this file's: made again, one more try.
      UtworzKatalogi();
      plik_.emplace(pelna, executable_);
    }
  }
  // Makes the levels that are missing; those it made are removed again by Porzuc.
  void UtworzKatalogi() {
    try {
      const auto utworzone = opis_.UtworzPoziomy();
      utworzone_.insert(utworzone_.end(), utworzone.begin(), utworzone.end());
    } catch (const Exception&) {
      opis_.UsunSciezkeDocelowa();
      throw;
    }
  }

  const TOpisPliku& opis_;
  const bool executable_;
  std::vector<std::string> utworzone_;
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
    // directory in its place) keeps what it had; the caller goes on with the next
    // file.
    return false;
  } catch (...) {
    zapis.Porzuc();
    throw;
  }
  return true;
}

std::vector<std::string> TOpisPliku::UtworzPoziomy() const {
  std::vector<std::string> utworzone;
  const std::string target = PobierzSciezkeDocelowa();
  if (target.empty()) return utworzone;
  std::string path;
  for (const auto& level : Levels(target)) {
    path += level + "\\";
    const std::string native = fs::NativePath(path);
    if (fs::DirectoryExists(native)) continue;
    if (::mkdir(native.c_str(), 0777) == 0) {
      utworzone.push_back(native);
    } else if (!fs::DirectoryExists(native)) {
      // A directory that appears meanwhile (another launcher) is as good as one made here.
      throw EWrongFilePath("Błąd przy tworzeniu ściężki dla pliku \"" + PobierzNazwe() + "\"");
    }
  }
  return utworzone;
}

void TOpisPliku::UtworzSciezkeDocelowa() const { UtworzPoziomy(); }

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
