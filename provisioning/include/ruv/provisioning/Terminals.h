#pragma once
// The terminal classes: static classes over one class-level current element each.
//   TTerminals - the current configuration root: offered terminals, selection of a
//                terminal, the version gate, look-and-feel values, library lookup,
//                the client network check.
//   TTerminal  - the selected terminal: its files brought up to date as one progress
//                job, its start, its name and icon.
//   TPlik      - the selected file description: names, paths, hash, local version,
//                download.
// Text is UTF-8 throughout. The current elements are shared by the user-interface
// thread and a download job's worker; reading and replacing them is race-free, and a
// running job works on selections of its own, taken when the job is made, so a button
// redraw during the job cannot change what the job fetches.

#include <memory>
#include <string>
#include <vector>

#include "ruv/config/XMLBinding.h"
#include "ruv/platform/Exception.h"
#include "ruv/provisioning/Plik.h"
#include "ruv/provisioning/Terminal.h"

namespace ruv::provisioning {

// A file's target directory could not be created:
// "Błąd przy tworzeniu ściężki dla pliku " and the file's name in double quotes.
RUV_DECLARE_EXCEPTION(EWrongFilePath, Exception);

// Decodes the bytes of a fetched configuration file into text: UTF-16 LE, UTF-16 BE or
// UTF-8 by their byte-order mark; without one, by the encoding that the document's XML
// declaration names (UTF-8 or windows-1250), else as windows-1250. The text is split
// into lines at CR LF, CR or LF (a NUL ends it) and joined again with CR LF after every
// line, the last included. The result is what TTerminals::WczytajDane takes and what the
// per-user copy keeps.
std::string DekodujTekstKonfiguracji(std::string_view bytes);

class TTerminals {
 public:
  TTerminals() = delete;

  // Whether one of this machine's IPv4 addresses lies in one of the configured client
  // networks. Raises EIdException for a malformed mask or address.
  static bool restrictedAccess();

  // Loads a configuration text (Unicode, as DekodujTekstKonfiguracji gives it) into a
  // new document and makes its root the current configuration. Raises the parser's
  // error, or "Interface not supported" for another root; the current configuration
  // then stays as it was. Documents stay alive until Finalizuj.
  static void WczytajDane(const std::string& dane);

  // The identifiers of the terminals offered to this machine, in document order.
  static std::vector<std::string> PobierzListeIdentyfikatorowTerminali();

  // Selects the first terminal with this identifier as TTerminal's current terminal;
  // raises "Terminal o identyfikatorze "<Id>" nie został opisany w pliku konfiguracyjnym".
  static void WczytajDaneTerminala(const std::string& Id);

  // Whether the launcher's own "FileVersion" (of "ruv_virad.exe" in the current
  // directory) begins with the configured prog_version, letter case ignored.
  static bool WersjaProgramuJestDobra();

  static std::string PobierzEmailAdministratora();
  static std::string PobierzLinkDoStrony();

  // Look-and-feel values: the text of the element's "value" attribute. A missing
  // element or attribute raises "Could not convert variant of type (Null) into type (String)".
  static std::string PobierzClForm();
  static std::string PobierzClText();
  static std::string PobierzClLink();
  static std::string PobierzClBtnNormal();
  static std::string PobierzClBtnHighlight();
  static std::string PobierzClBtnText();
  static std::string PobierzClBtnFrame();
  static std::string PobierzTextSize();
  static std::string PobierzBtnTextSize();
  static std::string PobierzMargin();
  static std::string PobierzTopMargin();
  static std::string PobierzBtnWidth();
  static std::string PobierzBtnHeight();

  // The first library description with this name, or null.
  static config::IXMLDllTypePtr PobierzDll(const std::string& Nazwa);

  // The current configuration root; null before the first successful load.
  static config::IXMLRuv_viradPtr Konfiguracja();

  // Program end: releases the documents, then the current elements in the order
  // TPlik, TTerminal, TTerminals.
  static void Finalizuj();
};

}  // namespace ruv::provisioning
