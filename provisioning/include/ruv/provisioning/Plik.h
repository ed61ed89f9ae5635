#pragma once
// TPlik: the static class over the selected file description (see Terminals.h), and
// TOpisPliku, the same operations on a description of one's own, for work that
// must not follow later selections (a running download job).
//
// Paths in a description use backslashes between levels on every platform; a
// relative target path resolves against the current directory.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ruv/config/XMLBinding.h"
#include "ruv/provisioning/DownloadLimits.h"

namespace ruv::provisioning {

// One file description and what is done with it. A value: copies share the
// description, which is read afresh at every call. A null description raises
// ruv::Exception from every operation.
class TOpisPliku {
 public:
  explicit TOpisPliku(config::IXMLFileTypePtr dane);

  const config::IXMLFileTypePtr& Dane() const { return dane_; }

  std::string PobierzNazwe() const;
  std::string PobierzSciezkeDocelowa() const;
  std::string PobierzHashPliku() const;
  // target_path + "\" + name, or name alone when target_path is empty.
  std::string PobierzPelnaNazwe() const;
  // source_path + "\" + name, or name alone when source_path is empty: the path
  // requested from the download server.
  std::string PobierzSciezkeZrodlowa() const;
  // The local copy's "FileVersion", or "" when it cannot be read.
  std::string PobierzWersjeLokalnegoPliku() const;

  // Fetches the file over the URL templates and writes it under its full name.
  // An empty name does nothing. The body goes to disk as it arrives, through a
  // temporary file beside the target that replaces it atomically once whole, so
  // memory stays small whatever the file's size; a body larger than maxBytes
  // fails like any failed fetch. A failed fetch raises "Niemożliwe było
  // sciągnięcie pliku" with the disk as it was (no temporary, no directory it
  // made); a target directory that cannot be made raises
  // EWrongFilePath after the empty levels are removed again. A file that cannot be
  // written keeps its old content, the directories made for it go, and the call
  // returns normally; as the body goes to disk while it arrives, such a failure
  // ends the fetch there, without trying further templates. The file is made executable for the user when executable
  // is true or its name ends with ".exe" (any letter case). Every call fetches: a
  // local copy is never taken as up to date here. Returns whether the file was
  // written whole (false for an empty name and for a write that failed), so that a
  // record of what was fetched is kept only then.
  bool download(bool executable = false, std::int64_t maxBytes = kMaxTerminalFileBytes) const;
  // Creates the directories of the target path level by level; raises
  // EWrongFilePath "Błąd przy tworzeniu ściężki dla pliku "<name>"".
  void UtworzSciezkeDocelowa() const;
  // The same, returning the directories it made (native paths, outermost first).
  std::vector<std::string> UtworzPoziomy() const;
  // Removes the target path's directories from the deepest level up, each one
  // only when it is empty and no fetch in progress in this process writes below
  // it; failures are ignored. Making and removing levels are serialized in the
  // process, so a fetch that fails never takes away a level another one uses.
  void UsunSciezkeDocelowa() const;

 private:
  config::IXMLFileTypePtr dane_;
};

class TPlik {
 public:
  TPlik() = delete;
  static void WczytajDane(config::IXMLFileTypePtr dane);
  static config::IXMLFileTypePtr DanePliku();

  // The operations of TOpisPliku on the current description.
  static std::string PobierzNazwe();
  static std::string PobierzSciezkeDocelowa();
  static std::string PobierzHashPliku();
  // target_path + "\" + name, or name alone when target_path is empty.
  static std::string PobierzPelnaNazwe();
  // The local copy's "FileVersion", or "" when it cannot be read.
  static std::string PobierzWersjeLokalnegoPliku();
  // Fetches the file over the URL templates and writes it under its full name
  // (see TOpisPliku::download).
  static void download(bool executable = false);
  static void UtworzSciezkeDocelowa();
  static void UsunSciezkeDocelowa();
};

}  // namespace ruv::provisioning
