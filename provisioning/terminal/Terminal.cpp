// TTerminal: the selected terminal's update job, its start, its name and icon.
//
// A job works on the terminal that was selected when the job was made and on file
// descriptions of its own (TOpisPliku values), never on TPlik's current element:
// the main window keeps selecting terminals and icon files while it redraws its
// buttons during a job, and neither may change what the job fetches.

#include "ruv/provisioning/Terminal.h"

#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Shell.h"
#include "ruv/platform/Text.h"
#include "ruv/provisioning/Plik.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/provisioning/Terminals.h"
#include "ruv/support/Container.h"
#include "ruv/support/MessageBoxes.h"
#include "ruv/support/ProcedureWithProgressExecuter.h"

namespace ruv::provisioning {
namespace {

// The first n characters (not bytes) of a text; a shorter text takes part whole.
std::u32string PierwszeZnaki(const std::string& tekst, std::size_t n) {
  return text::Utf8ToUtf32(tekst).substr(0, n);
}


constexpr const char* kBladPobierania =
    "Błąd przy próbie pobrania plików terminala. Proszę sprawdzic połączenie sieciowe, a w razie "
    "ponownego niepowodzenia skontaktować się z administratorem systemu.";
constexpr const char* kBladUruchomienia =
    "Błąd przy uruchomieniu terminala. Proszę spróbować ponownie lub skontaktować się z "
    "administratorem systemu";

constexpr const char* kPobieraniePliku = "Pobieranie pliku ";
constexpr const char* kPobieranieBiblioteki = "Pobieranie biblioteki ";

config::IXMLTerminalTypePtr WybranyTerminal() {
  config::IXMLTerminalTypePtr terminal = TTerminal::DaneTerminala();
  if (!terminal) throw Exception("Nie wybrano terminala");
  return terminal;
}

// The first line of a ".hash" side file, in the ANSI code page: up to the first LF,
// without the CR of a CR LF. An empty file reads as an empty line.
std::string PierwszaLinia(const std::string& path) {
  std::string text = fs::ReadFile(path);
  const std::size_t lf = text.find('\n');
  if (lf != std::string::npos) {
    text.resize(lf);
    if (!text.empty() && text.back() == '\r') text.pop_back();
  }
  return text;
}

// The steps of one update job over one terminal.
class TAktualizacjaTerminala {
 public:
  explicit TAktualizacjaTerminala(config::IXMLTerminalTypePtr terminal) : terminal_(std::move(terminal)) {}

  void downloadAllFiles(const std::shared_ptr<TProgressListener>& listener) {
    listener->tick(kPobieraniePliku + terminal_->Get_Exe_file()->Get_Name());
    downloadEXEFile();
    listener->tick(kPobieraniePliku + terminal_->Get_Icon_file()->Get_Name());
    downloadIconFile();
    const int biblioteki = terminal_->Get_Dll_lib()->Count();
    for (int i = 0; i < biblioteki; ++i) {
      listener->tick(kPobieranieBiblioteki + terminal_->Get_Dll_lib()->Get_Item(i));
      downloadDLLFile(i);
    }
    const int pliki = terminal_->Get_File()->Count();
    for (int i = 0; i < pliki; ++i) {
      listener->tick(kPobieraniePliku + terminal_->Get_File()->Get_Item(i)->Get_Name());
      downloadGenericFile(i);
    }
  }

  // The program file: fetched when its local version differs from the configured
  // one; a difference within the first five characters is asked about first.
  void downloadEXEFile() {
    const TOpisPliku program(terminal_->Get_Exe_file());
    const std::string lokalna = program.PobierzWersjeLokalnegoPliku();
    const std::string wymagana = terminal_->Get_Version();
    if (lokalna == wymagana) return;
    if (PierwszeZnaki(lokalna, 5) != PierwszeZnaki(wymagana, 5)) {
      // Only OK fetches: Cancel, and a box closed without an answer, keep the local copy.
      const TModalResult odpowiedz = MessageDlg(resources::KomunikatNowszaWersjaTerminala(),
                                                TMsgDlgType::mtInformation,
                                                {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel});
      if (odpowiedz != TModalResult::mrOK) return;
    }
    program.download(/*executable=*/true);
  }

  // The icon file, handed to the fetch every time under its own bound; its
  // failures do not matter.
  void downloadIconFile() {
    try {
      TOpisPliku(terminal_->Get_Icon_file()).download(/*executable=*/false, kMaxIconFileBytes);
    } catch (...) {
    }
  }

  void downloadDLLFile(int dllFileNumber) {
    const std::string nazwa = terminal_->Get_Dll_lib()->Get_Item(dllFileNumber);
    const config::IXMLDllTypePtr dll = TTerminals::PobierzDll(nazwa);
    if (!dll) throw Exception(resources::KomunikatBrakInformacjiOBibliotece() + " \"" + nazwa + "\"");
    const TOpisPliku biblioteka(dll->Get_File());
    if (biblioteka.PobierzWersjeLokalnegoPliku() != dll->Get_Version()) biblioteka.download();
  }

  // An additional file: fetched when missing, or when a hash is configured and its
  // side file does not record that hash. The side file is written once the file
  // itself has been written whole, so it never claims a copy that is not there.
  void downloadGenericFile(int fileNumber) {
    const TOpisPliku plik(terminal_->Get_File()->Get_Item(fileNumber));
    const std::string pelna = fs::NativePath(plik.PobierzPelnaNazwe());
    const std::string hash = plik.PobierzHashPliku();
    const std::string plikHash = pelna + ".hash";
    const std::string hashAnsi = text::Utf8ToAnsi(hash);
    if (fs::FileExists(pelna)) {
      if (hash.empty()) return;
      if (fs::FileExists(plikHash) && PierwszaLinia(plikHash) == hashAnsi) return;
    }
    const bool zapisany = plik.download();
    if (zapisany && !hash.empty()) fs::WriteFileAtomically(plikHash, hashAnsi + "\r\n");
  }

 private:
  config::IXMLTerminalTypePtr terminal_;
};

// Runs the update job of this terminal behind the progress window.
void PobierzPlikiTerminala(const config::IXMLTerminalTypePtr& terminal) {
  const int liczba = terminal->Get_Dll_lib()->Count() + terminal->Get_File()->Count() + 2;
  auto aktualizacja = std::make_shared<TAktualizacjaTerminala>(terminal);
  auto job = TRunnableWithProgressGeneric::Create(
      [aktualizacja](const std::shared_ptr<TProgressListener>& listener) {
        aktualizacja->downloadAllFiles(listener);
      },
      liczba);
  di::ServiceLocator().GetService<TProcedureWithProgressExecuter>()->Execute(job);
}

}  // namespace

void TTerminal::download() { PobierzPlikiTerminala(WybranyTerminal()); }

void TTerminal::downloadEXEFile() { TAktualizacjaTerminala(WybranyTerminal()).downloadEXEFile(); }

void TTerminal::downloadIconFile() { TAktualizacjaTerminala(WybranyTerminal()).downloadIconFile(); }

void TTerminal::downloadDLLFile(int dllFileNumber) {
  TAktualizacjaTerminala(WybranyTerminal()).downloadDLLFile(dllFileNumber);
}

void TTerminal::downloadGenericFile(int fileNumber) {
  TAktualizacjaTerminala(WybranyTerminal()).downloadGenericFile(fileNumber);
}

bool TTerminal::virad() {
  // The terminal is taken once: the one updated is the one started, whatever the
  // window selects while the job runs.
  config::IXMLTerminalTypePtr terminal;
  try {
    terminal = WybranyTerminal();
    PobierzPlikiTerminala(terminal);
  } catch (const Exception& e) {
    throw Exception(std::string(kBladPobierania) + "\r\r" + e.Message());
  } catch (const std::exception& e) {
    throw Exception(std::string(kBladPobierania) + "\r\r" + e.what());
  }
  try {
    const config::IXMLFileTypePtr program = terminal->Get_Exe_file();
    TPlik::WczytajDane(program);
    shell::ShellExecute("open", program->Get_Name(), kTokenDostepu, program->Get_Target_path(),
                        shell::ShowCommand::ShowNormal);
  } catch (...) {
    throw Exception(kBladUruchomienia);
  }
  return true;
}

std::string TTerminal::PobierzNazwe() { return WybranyTerminal()->Get_Name(); }

bool TTerminal::PlikIkonyIstnieje() {
  const config::IXMLFileTypePtr opis = WybranyTerminal()->Get_Icon_file();
  TPlik::WczytajDane(opis);
  const TOpisPliku ikona(opis);
  if (ikona.PobierzNazwe().empty()) return false;
  if (!fs::FileExists(fs::NativePath(ikona.PobierzPelnaNazwe()))) {
    ikona.download(/*executable=*/false, kMaxIconFileBytes);
  }
  return true;
}

std::unique_ptr<graphics::TBitmap> TTerminal::WczytajPlikIkony() {
  const config::IXMLFileTypePtr opis = WybranyTerminal()->Get_Icon_file();
  TPlik::WczytajDane(opis);
  const TOpisPliku ikona(opis);
  auto bitmapa = std::make_unique<graphics::TBitmap>();
  bitmapa->LoadFromFile(fs::NativePath(ikona.PobierzPelnaNazwe()));
  return bitmapa;
}

}  // namespace ruv::provisioning
