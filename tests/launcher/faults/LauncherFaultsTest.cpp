// The launcher end to end under faults: one row per fault, each naming what the
// user must see (every message box, in order, with kind, title, text and buttons),
// how the program must end and what must be on disk afterwards.
//
// Every row runs the real start-up (the fault driver, copied in as "ruv_virad.exe")
// as a child process with its own working directory, home and per-user
// configuration directory, against the test server on 127.0.0.1, where each row
// has its files and faults under a path of its own. All rows start together when
// the suite starts; each test then waits for its own row.
#include "TestHttpServer.h"

#include <gtest/gtest.h>

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace ruv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << s;
}

// --- The texts the user must see ---

const std::string kPrzetwarzanie =
    "Błąd przy przetwarzaniu informacji o ostatnich wersjach programów RUV. W razie wystąpienia niezgodności wersji "
    "konieczne będzie ręczne sciągnięcie najnowszego oprogramowania.";
const std::string kBrakMozliwosci =
    "Brak możliwości ściągnięcia informacji o ostatnich wersjach programów RUV. W razie wystąpienia niezgodności "
    "wersji konieczne będzie ręczne sciągnięcie najnowszego oprogramowania.";
const std::string kBrakInformacji = "Brak informacji o programach RUV. Konieczne jest ręczne uruchomienie programów.";
const std::string kPrzestarzala = "Wersja programu jest przestarzała, zostanie dociągnięta nowa wersja.";
const std::string kNowszaWersja = "Znaleziono nowszą wersję terminala. Nastąpi próba pobrania odpowiednich plików.";
const std::string kPrzerwane = "Process interrupted with message:\\r";
const std::string kNiemozliwe = "Niemożliwe było sciągnięcie pliku";
const std::string kNieZapisany =
    "Plik został sciągnięty, ale nie mógł byc zapisany na dysku.\\rProszę sprawdzić czy nie są otwarte programy "
    "które z tego pliku korzystają, i czy użytkownik systemu operacyjnego ma dostęp do katalogu docelowego:\\r"
    ".\\\\ruv_virad_downloader.exe";
const std::string kCaption = "Programy systemu RUV";
const std::string kCaptionWithVersion = "Programy systemu RUV v.3.0.0.3";

// A box as the driver records it: kind, title, text (CR as \r), buttons.
struct Box {
  std::string kind, title, text, buttons;
  bool operator==(const Box&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Box& b) {
  return os << "{" << b.kind << " | " << b.title << " | " << b.text << " | " << b.buttons << "}";
}

Box ErrorBox(const std::string& text) { return {"error", "Błąd", text, "OK"}; }
Box PlainBox(const std::string& text) { return {"none", "ruv_virad", text, "OK"}; }
Box ErrorReport(const std::string& text) { return {"error", "ruv_virad", text, "OK"}; }
// What a fetch of the configuration that brought nothing shows.
const std::vector<Box> kFetchFailedBoxes = {ErrorBox(""), PlainBox(kBrakMozliwosci)};

std::vector<Box> Boxes(std::initializer_list<std::vector<Box>> parts) {
  std::vector<Box> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// --- The configuration ---

struct Cfg {
  std::string progVersion = "3.0";
  std::string clForm = "clWhite";
  std::string btnWidth = "260";
  std::string mask = "255.255.255.255";
  std::string dllLib;
  std::string terminalName = "Kadry i płace";
  std::string doctype;  // a document type declaration after the XML declaration
  std::string link;
};

// The default configuration with one value changed.
Cfg With(std::string Cfg::*field, std::string value) {
  Cfg c;
  c.*field = std::move(value);
  return c;
}

std::string Configuration(const Cfg& c) {
  std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + c.doctype +
                  "<ruv_virad xmlns=\"http://ruv.local/ruv_virad\" prog_version=\"" + c.progVersion + "\">\n" +
                  (c.link.empty() ? "" : "<link>" + c.link + "</link>\n") +
                  "<clForm value=\"" + c.clForm + "\"/><clText value=\"clWindowText\"/><clLink value=\"clBlue\"/>\n"
                  "<clBtnNormal value=\"$00F0E0D0\"/><clBtnHighlight value=\"clSkyBlue\"/><clBtnFrame value=\"clNavy\"/>\n"
                  "<clBtnText value=\"clNavy\"/><btnWidth value=\"" + c.btnWidth + "\"/><btnHeight value=\"40\"/>\n"
                  "<topMargin value=\"40\"/><margin value=\"10\"/><textSize value=\"10\"/><btnTextSize value=\"11\"/>\n"
                  "<network mask=\"" + c.mask + "\" ip=\"192.0.2.77\"/>\n"
                  "<terminal><id>kadry</id><name>" + c.terminalName + "</name><version>1.0.0.1</version>"
                  "<access_mode value=\"all\"/>"
                  "<exe_file><name>kadry.exe</name><target_path>terminale\\kadry</target_path>"
                  "<source_path>kadry</source_path></exe_file>"
                  "<icon_file><name>kadry.bmp</name><target_path>terminale\\kadry</target_path>"
                  "<source_path>kadry</source_path></icon_file>";
  if (!c.dllLib.empty()) x += "<dll_lib>" + c.dllLib + "</dll_lib>";
  x += "<file><name>dane.xml</name><target_path>terminale\\kadry</target_path><source_path>kadry</source_path>"
       "<hash>h2</hash></file></terminal>\n</ruv_virad>\n";
  return x;
}

// The per-user copy holds a text with CR LF after every line.
std::string AsCopy(const std::string& text) {
  std::string out;
  for (const char ch : text) out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  return out;
}

// --- The rows ---

enum class Served { kConfig, kDown, kSlow, k404, kCut, kEmpty, kHtml, kXhtml, kMalformed, kEndless };
enum class Copy { kNone, kValid, kUnreadable, kMalformed };
enum class Disk {
  kPlain,
  kTargetBlockedByFile,
  kTargetReadOnlyMount,
  kTargetFullMount,
  kExeImmutable,
  kExeReadOnly,
  kCopyReadOnlyMount,
  kCopyFullMount,
  kDownloaderBlocked,
  kSideFileIsADirectory,
  kOwnVersionMissing
};
enum class Downloader { kMissing, kEmpty, kServed };
const std::string kDownloader = "#!/bin/sh\nexit 0\n";

// What a terminal's three files hold afterwards: "old", "new" or "none".
struct TerminalFiles {
  const char* exe = "old";
  const char* data = "old";
  const char* hash = "old";
};
const TerminalFiles kUntouched{};
const TerminalFiles kUpdated{"new", "new", "new"};

struct Row {
  const char* name;
  Served served = Served::kConfig;
  Cfg cfg = {};
  Copy copy = Copy::kValid;
  Disk disk = Disk::kPlain;
  // A fault of another path of the row's server.
  std::string faultPath = "";
  testing::HttpRule fault = {};
  Downloader downloader = Downloader::kMissing;
  bool click = false;
  const char* answers = "";  // the answers to the boxes, OK once they run out
  std::vector<Box> boxes = {};
  // The driver's final line; empty when the launcher ended the process on its own.
  std::string end = "";
  bool copyFromServer = false;  // the copy afterwards holds the served text; else unchanged
  TerminalFiles files = kUntouched;
  bool started = false;  // the terminal program was started
  // Bounds of the run's wall-clock time: generous above, for loaded and
  // instrumented builds, yet far below what a hang on a stalled fetch would take.
  double minSeconds = 0;
  double maxSeconds = 10;
};

std::string End(bool quit, int buttons, const std::string& caption, const std::string& link = "") {
  return std::string("end quit=") + (quit ? "1" : "0") + " minimized=0 buttons=" + std::to_string(buttons) +
         " caption=" + caption + " link=" + link;
}
const std::string kShownWithButton = End(false, 1, kCaptionWithVersion);
const std::string kEndedNoInformation = End(true, 0, kCaption);
const std::string kEndedAfterStart = End(true, 1, kCaptionWithVersion);
const std::string kShownUnbuilt = End(false, 0, kCaption);

// A fetch that fails waits out the 5 s limit of the timed fetch.
constexpr double kFetchLimit = 5.0;
constexpr double kAfterFetchLimit = 15.0;

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      // The configuration load.
      {.name = "ServerDown", .served = Served::kDown, .boxes = kFetchFailedBoxes, .end = kShownWithButton,
       .maxSeconds = kAfterFetchLimit},
      {.name = "ServerDownOnFirstRun", .served = Served::kDown, .copy = Copy::kNone,
       .boxes = Boxes({kFetchFailedBoxes, {ErrorBox(kBrakInformacji)}}), .end = kEndedNoInformation,
       .maxSeconds = kAfterFetchLimit},
      {.name = "ServerSlowerThanTheLimit", .served = Served::kSlow, .boxes = kFetchFailedBoxes,
       .end = kShownWithButton, .minSeconds = kFetchLimit - 0.1, .maxSeconds = kAfterFetchLimit},
      {.name = "NotFound", .served = Served::k404, .boxes = kFetchFailedBoxes, .end = kShownWithButton,
       .maxSeconds = kAfterFetchLimit},
      {.name = "BodyCutShort", .served = Served::kCut, .boxes = kFetchFailedBoxes, .end = kShownWithButton,
       .maxSeconds = kAfterFetchLimit},
      {.name = "HtmlPageInPlaceOfTheConfiguration", .served = Served::kHtml,
       .boxes = {ErrorBox("Premature end of data in tag body line 2\\nLine: 3\\n"), PlainBox(kPrzetwarzanie)}, .end = kShownWithButton},
      {.name = "XhtmlPageInPlaceOfTheConfiguration", .served = Served::kXhtml,
       .boxes = {ErrorBox("Interface not supported"), PlainBox(kPrzetwarzanie)}, .end = kShownWithButton},
      {.name = "EmptyConfiguration", .served = Served::kEmpty, .boxes = kFetchFailedBoxes, .end = kShownWithButton,
       .maxSeconds = kAfterFetchLimit},
      {.name = "MalformedXml", .served = Served::kMalformed,
       .boxes = {ErrorBox("Premature end of data in tag ruv_virad line 2\\nLine: 3\\n"), PlainBox(kPrzetwarzanie)}, .end = kShownWithButton},
      {.name = "CopyUnreadable", .served = Served::k404, .copy = Copy::kUnreadable,
       .boxes = Boxes({kFetchFailedBoxes, {ErrorBox(kBrakInformacji)}}), .end = kEndedNoInformation,
       .maxSeconds = kAfterFetchLimit},
      {.name = "CopyMalformed", .served = Served::k404, .copy = Copy::kMalformed,
       .boxes = Boxes({kFetchFailedBoxes, {ErrorBox(kBrakInformacji)}}), .end = kEndedNoInformation,
       .maxSeconds = kAfterFetchLimit},
      {.name = "CopyOnAReadOnlyDisk", .disk = Disk::kCopyReadOnlyMount,
       .boxes = {ErrorBox("Failed to set data for 'version_file': Cannot create a temporary file beside \"{copy}\": "
                          "Read-only file system"),
                 PlainBox(kPrzetwarzanie)}, .end = kShownWithButton},
      {.name = "CopyOnAFullDisk", .disk = Disk::kCopyFullMount,
       .boxes = {ErrorBox("Failed to set data for 'version_file': Cannot write \"{copy}\": No space left on device"),
                 PlainBox(kPrzetwarzanie)}, .end = kShownWithButton},
      // Entities: a local file is never read into the configuration, nor is an
      // expansion bomb expanded.
      {.name = "ExternalEntity",
       .cfg = [] {
         Cfg c;
         c.doctype = "<!DOCTYPE ruv_virad [<!ENTITY e SYSTEM \"file://{cwd}/secret.txt\">]>\n";
         c.link = "http://pomoc/&e;";
         return c;
       }(),
       .end = End(false, 1, kCaptionWithVersion, "http://pomoc/"), .copyFromServer = true},
      {.name = "EntityExpansionBomb",
       .cfg = [] {
         Cfg c;
         c.doctype = "<!DOCTYPE ruv_virad [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
         for (char e = 'b'; e <= 'k'; ++e) {
           const std::string prev(1, static_cast<char>(e - 1));
           c.doctype += std::string("<!ENTITY ") + e + " \"";
           for (int i = 0; i < 10; ++i) c.doctype += "&" + prev + ";";
           c.doctype += "\">";
         }
         c.doctype += "]>\n";
         c.link = "&k;";
         return c;
       }(),
       .boxes = {ErrorBox("Detected an entity reference loop\\nLine: 4\\n<link>&k;</link>"), PlainBox(kPrzetwarzanie)},
       .end = kShownWithButton},
      // The look of the window.
      {.name = "BadColour", .cfg = With(&Cfg::clForm, "clPurpur"),
       .boxes = {ErrorReport("''clPurpur'' is not a valid integer value")}, .end = kShownUnbuilt,
       .copyFromServer = true},
      {.name = "BadSize", .cfg = With(&Cfg::btnWidth, "szeroki"),
       .boxes = {ErrorReport("''szeroki'' is not a valid integer value")}, .end = kShownUnbuilt,
       .copyFromServer = true},
      {.name = "MalformedNetworkMask", .cfg = With(&Cfg::mask, "255.255.0.300"), .boxes = {ErrorReport("The string 255.255.0.300 does not translate into a valid IP.")},
       .end = kShownUnbuilt, .copyFromServer = true},
      // A launch.
      {.name = "UpdateAndStart", .click = true, .end = kEndedAfterStart, .copyFromServer = true,
       .files = kUpdated, .started = true},
      {.name = "TargetDirectoryBlockedByAFile", .disk = Disk::kTargetBlockedByFile, .click = true,
       .boxes = {{"information", "Komunikat", kNowszaWersja, "OK,Anuluj"},
                 ErrorBox(kPrzerwane + "Błąd przy tworzeniu ściężki dla pliku \"kadry.exe\"")},
       .end = kEndedAfterStart, .copyFromServer = true, .files = {"none", "none", "none"}},
      {.name = "TargetDirectoryReadOnly", .disk = Disk::kTargetReadOnlyMount, .click = true,
       .end = kEndedAfterStart, .copyFromServer = true, .started = true},
      {.name = "TargetDiskFull", .disk = Disk::kTargetFullMount, .click = true, .end = kEndedAfterStart,
       .copyFromServer = true, .started = true},
      {.name = "TerminalFileLocked", .disk = Disk::kExeImmutable, .click = true, .end = kEndedAfterStart,
       .copyFromServer = true, .files = {"old", "new", "new"}, .started = true},
      {.name = "TerminalFileReadOnly", .disk = Disk::kExeReadOnly, .click = true, .end = kEndedAfterStart,
       .copyFromServer = true, .files = kUpdated, .started = true},
      {.name = "LibraryWithoutDescription", .cfg = With(&Cfg::dllLib, "brak.dll"), .click = true,
       .boxes = {ErrorBox(kPrzerwane + "Nie znaleziono informacji o bibliotece \"brak.dll\"")},
       .end = kEndedAfterStart, .copyFromServer = true, .files = {"new", "old", "old"}, .started = true},
      {.name = "HashChangedButTheFileIsNotServed", .faultPath = "/kadry/dane.xml", .fault = {.status = 404},
       .click = true,
       .boxes = {ErrorBox(kPrzerwane + kNiemozliwe)}, .end = kEndedAfterStart, .copyFromServer = true,
       .files = {"new", "old", "old"}, .started = true},
      {.name = "TerminalFileCutShort", .faultPath = "/kadry/kadry.exe", .fault = {.cut = 1000}, .click = true,
       .boxes = {ErrorBox(kPrzerwane + kNiemozliwe)}, .end = kEndedAfterStart, .copyFromServer = true,
       .started = true},
      {.name = "DataFileBrokenChunk", .faultPath = "/kadry/dane.xml", .fault = {.brokenChunk = 3}, .click = true,
       .boxes = {ErrorBox(kPrzerwane + kNiemozliwe)}, .end = kEndedAfterStart, .copyFromServer = true,
       .files = {"new", "old", "old"}, .started = true},
      {.name = "SideFileIsADirectory", .disk = Disk::kSideFileIsADirectory, .click = true,
       .boxes = {ErrorBox(kPrzerwane + "Cannot replace \"terminale/kadry/dane.xml.hash\": Is a directory")},
       .end = kEndedAfterStart, .copyFromServer = true, .files = {"new", "new", "dir"}, .started = true},
      // The version gate.
      {.name = "OwnVersionUnreadable", .disk = Disk::kOwnVersionMissing,
       .boxes = {ErrorReport("Nie znaleziono informacji o wersi w pliku")}, .end = kShownUnbuilt,
       .copyFromServer = true},
      {.name = "OutdatedCancelled", .cfg = With(&Cfg::progVersion, "9.9"), .answers = "Anuluj",
       .boxes = {{"warning", "Ostrzeżenie", kPrzestarzala, "OK,Anuluj"}}, .end = End(true, 1, kCaptionWithVersion),
       .copyFromServer = true},
      {.name = "OutdatedDownloaderServed", .cfg = With(&Cfg::progVersion, "9.9"), .downloader = Downloader::kServed,
       .boxes = {{"warning", "Ostrzeżenie", kPrzestarzala, "OK,Anuluj"}}, .copyFromServer = true},
      {.name = "OutdatedDownloaderNotServed", .cfg = With(&Cfg::progVersion, "9.9"),
       .boxes = {{"warning", "Ostrzeżenie", kPrzestarzala, "OK,Anuluj"}, ErrorReport(kNiemozliwe)},
       .end = kShownUnbuilt, .copyFromServer = true},
      {.name = "OutdatedDownloaderServedEmpty", .cfg = With(&Cfg::progVersion, "9.9"), .downloader = Downloader::kEmpty,
       .boxes = {{"warning", "Ostrzeżenie", kPrzestarzala, "OK,Anuluj"}, ErrorReport("Plik jest pusty")},
       .end = kShownUnbuilt, .copyFromServer = true},
      {.name = "OutdatedDownloaderCannotBeSaved", .cfg = With(&Cfg::progVersion, "9.9"), .disk = Disk::kDownloaderBlocked,
       .downloader = Downloader::kServed,
       .boxes = {{"warning", "Ostrzeżenie", kPrzestarzala, "OK,Anuluj"}, ErrorReport(kNieZapisany)},
       .end = kShownUnbuilt, .copyFromServer = true, .minSeconds = 1.9},
  };
  return rows;
}

// --- Running a row ---

int FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(s);
  return ntohs(a.sin_port);
}

// A small tmpfs mounted over dir; nullopt with the reason when mounting is refused.
std::optional<std::string> MountTmpfs(const fs::path& dir, const char* size) {
  fs::create_directories(dir);
  if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, size) != 0)
    return std::string("mounting a tmpfs is not allowed here: ") + std::strerror(errno);
  return std::nullopt;
}

std::optional<std::string> RemountReadOnly(const fs::path& dir) {
  if (::mount("tmpfs", dir.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) != 0)
    return std::string("remounting read-only is not allowed here: ") + std::strerror(errno);
  return std::nullopt;
}

void FillUp(const fs::path& dir) {
  std::ofstream out(dir / "filler", std::ios::binary);
  const std::string block(4096, 'f');
  while (out.write(block.data(), static_cast<std::streamsize>(block.size()))) {
  }
}

bool SetImmutable(const fs::path& file, bool on) {
  const int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
  ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return ok;
}

// "none", "dir" or the file's bytes.
std::string Snapshot(const fs::path& p) {
  if (!fs::exists(p)) return "none";
  if (fs::is_directory(p)) return "dir";
  return "file:" + ReadAll(p);
}

struct RowRun {
  fs::path root;
  std::string skip;
  std::string error;  // a failure while setting the row up
  std::vector<fs::path> mounts;
  fs::path immutable;
  std::string copyBefore;
  std::string served;
  pid_t pid = -1;
  Clock::time_point start;
  std::future<std::pair<int, double>> ended;  // exit status and seconds

  fs::path Cwd() const { return root / "cwd"; }
  fs::path Terminal() const { return Cwd() / "terminale" / "kadry"; }
  fs::path CopyDir() const { return root / "config" / "SOFTWARE" / "RUV" / "RUV_VIRAD"; }
  fs::path CopyFile() const { return CopyDir() / "version_file"; }
  fs::path Record() const { return root / "boxes.txt"; }
  fs::path Started() const { return root / "started.txt"; }
};

void PrepareDisk(const Row& row, RowRun& run) {
  auto oldFiles = [&] {
    WriteAll(run.Terminal() / "kadry.exe", ReadAll(Env("RUV_FAULT_TERMINAL_OLD")));
    fs::permissions(run.Terminal() / "kadry.exe", fs::perms::owner_all);
    WriteAll(run.Terminal() / "dane.xml", "old data");
    WriteAll(run.Terminal() / "dane.xml.hash", "h1\r\n");
  };
  auto fail = [&](std::optional<std::string> why) {
    if (why && run.skip.empty()) run.skip = *why;
  };
  switch (row.disk) {
    case Disk::kTargetBlockedByFile:
      WriteAll(run.Cwd() / "terminale", "not a directory");
      return;
    case Disk::kTargetReadOnlyMount:
    case Disk::kTargetFullMount:
      fail(MountTmpfs(run.Terminal(), "size=1m"));
      if (!run.skip.empty()) return;
      run.mounts.push_back(run.Terminal());
      oldFiles();
      if (row.disk == Disk::kTargetFullMount) {
        FillUp(run.Terminal());
      } else {
        fail(RemountReadOnly(run.Terminal()));
      }
      return;
    case Disk::kCopyReadOnlyMount:
    case Disk::kCopyFullMount:
      fail(MountTmpfs(run.CopyDir(), "size=64k"));
      if (!run.skip.empty()) return;
      run.mounts.push_back(run.CopyDir());
      WriteAll(run.CopyFile(), AsCopy(Configuration(With(&Cfg::terminalName, "Kadry (kopia)"))));
      if (row.disk == Disk::kCopyFullMount) {
        FillUp(run.CopyDir());
      } else {
        fail(RemountReadOnly(run.CopyDir()));
      }
      oldFiles();
      return;
    case Disk::kExeImmutable:
      oldFiles();
      if (!SetImmutable(run.Terminal() / "kadry.exe", true)) {
        run.skip = "files cannot be made immutable here: " + std::string(std::strerror(errno));
      } else {
        run.immutable = run.Terminal() / "kadry.exe";
      }
      return;
    case Disk::kExeReadOnly:
      oldFiles();
      fs::permissions(run.Terminal() / "kadry.exe", fs::perms::owner_read | fs::perms::group_read);
      return;
    case Disk::kDownloaderBlocked:
      fs::create_directories(run.Cwd() / "ruv_virad_downloader.exe");
      oldFiles();
      return;
    case Disk::kSideFileIsADirectory:
      oldFiles();
      fs::remove(run.Terminal() / "dane.xml.hash");
      fs::create_directories(run.Terminal() / "dane.xml.hash");
      return;
    case Disk::kOwnVersionMissing:
      oldFiles();
      if (std::system(("objcopy --remove-section=.ruv_version " + (run.Cwd() / "ruv_virad.exe").string()).c_str()) != 0)
        run.skip = "objcopy cannot remove the version section";
      return;
    case Disk::kPlain:
      oldFiles();
      return;
  }
}

void PrepareCopy(const Row& row, RowRun& run) {
  if (row.disk == Disk::kCopyReadOnlyMount || row.disk == Disk::kCopyFullMount) return;
  switch (row.copy) {
    case Copy::kNone:
      return;
    case Copy::kValid:
      WriteAll(run.CopyFile(), AsCopy(Configuration(With(&Cfg::terminalName, "Kadry (kopia)"))));
      return;
    case Copy::kUnreadable:
      fs::create_directories(run.CopyFile());
      return;
    case Copy::kMalformed:
      WriteAll(run.CopyFile(), "<ruv_virad xmlns=\"http://ruv.local/ruv_virad\"><terminal>");
      return;
  }
}

// The row's files live under "/<row name>/" of the one server all rows share.
std::string PrepareServer(const Row& row, RowRun& run, testing::TestHttpServer& s) {
  if (row.served == Served::kDown) return "http://127.0.0.1:" + std::to_string(FreePort());
  const std::string at = std::string("/") + row.name;
  auto put = [&](const std::string& path, const std::string& content) { s.PutFile(at.substr(1) + "/" + path, content); };
  run.served = Configuration(row.cfg);
  if (const auto cwd = run.served.find("{cwd}"); cwd != std::string::npos) run.served.replace(cwd, 5, run.Cwd().string());
  put("ruv_virad_2.xml", run.served);
  put("kadry/kadry.exe", ReadAll(Env("RUV_FAULT_TERMINAL_NEW")));
  put("kadry/dane.xml", "new data");
  if (row.downloader == Downloader::kEmpty) put("ruv_virad_downloader.exe", "");
  if (row.downloader == Downloader::kServed) put("ruv_virad_downloader.exe", kDownloader);
  if (!row.faultPath.empty()) s.SetRule(at + row.faultPath, row.fault);
  const std::string config = at + "/ruv_virad_2.xml";
  switch (row.served) {
    case Served::kSlow:
      s.SetRule(config, {.delay = 30});
      break;
    case Served::k404:
      s.SetRule(config, {.status = 404});
      break;
    case Served::kCut:
      s.SetRule(config, {.cut = 100});
      break;
    case Served::kEndless:
      // The configuration over and over, as fast as the launcher reads it.
      s.SetRule(config, {.endless = true});
      break;
    case Served::kEmpty:
      s.SetRule(config, {.body = ""});
      break;
    case Served::kXhtml:
      s.SetRule(config, {.body = "<?xml version=\"1.0\"?>\n<html xmlns=\"http://www.w3.org/1999/xhtml\"><body>"
                                 "<p>Moved</p></body></html>\n"});
      break;
    case Served::kHtml:
      s.SetRule(config,
                {.body = "<!DOCTYPE html>\n<html><head><title>Not here</title></head><body><p>Moved<br></body></html>\n"});
      break;
    case Served::kMalformed:
      s.SetRule(config, {.body = "<?xml version=\"1.0\"?>\n<ruv_virad xmlns=\"http://ruv.local/ruv_virad\">"
                                 "<terminal><id>kadry</id></terminal>\n"});
      break;
    default:
      break;
  }
  return s.Url() + at;
}

void Start(const Row& row, RowRun& run, testing::TestHttpServer& server) {
  run.root = fs::temp_directory_path() / ("ruv_faults_" + std::to_string(::getpid()) + "_" + row.name);
  fs::remove_all(run.root);
  for (const char* d : {"home", "config", "cwd", "runtime"}) fs::create_directories(run.root / d);
  fs::permissions(run.root / "runtime", fs::perms::owner_all);
  fs::copy_file(Env("RUV_FAULT_DRIVER"), run.Cwd() / "ruv_virad.exe");
  // A local file that no configuration may pull in through an entity.
  WriteAll(run.Cwd() / "secret.txt", "TAJNE");
  PrepareDisk(row, run);
  if (!run.skip.empty()) return;
  PrepareCopy(row, run);
  run.copyBefore = Snapshot(run.CopyFile());
  const std::string url = PrepareServer(row, run, server);

  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string kv = *e;
    const auto eq = kv.find('=');
    if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  env.erase("DISPLAY");
  env.erase("WAYLAND_DISPLAY");
  env["QT_QPA_PLATFORM"] = "offscreen";
  env["HOME"] = (run.root / "home").string();
  env["XDG_CONFIG_HOME"] = (run.root / "config").string();
  env["XDG_RUNTIME_DIR"] = (run.root / "runtime").string();
  env["no_proxy"] = "127.0.0.1,localhost";
  env["RUV_FAULT_URL"] = url;
  env["RUV_FAULT_RECORD"] = run.Record().string();
  env["RUV_FAULT_ANSWERS"] = row.answers;
  env["RUV_RECORD_FILE"] = run.Started().string();
  if (row.click) env["RUV_FAULT_CLICK"] = "0";
  std::vector<std::string> flat;
  for (const auto& [k, v] : env) flat.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& s : flat) envp.push_back(s.data());
  envp.push_back(nullptr);
  const std::string exe = (run.Cwd() / "ruv_virad.exe").string();
  const std::string cwd = run.Cwd().string();
  std::vector<char*> argv{const_cast<char*>(exe.c_str()), nullptr};

  run.start = Clock::now();
  run.pid = ::fork();
  if (run.pid == 0) {
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::execve(exe.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  const pid_t pid = run.pid;
  const auto start = run.start;
  run.ended = std::async(std::launch::async, [pid, start] {
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return std::pair{WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), seconds};
  });
}

void Cleanup(RowRun& run) {
  if (run.pid > 0 && run.ended.valid() && run.ended.wait_for(0s) != std::future_status::ready) {
    ::kill(run.pid, SIGKILL);
    run.ended.wait();
  }
  if (!run.immutable.empty()) SetImmutable(run.immutable, false);
  for (auto it = run.mounts.rbegin(); it != run.mounts.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
  if (!run.root.empty()) {
    std::error_code ec;
    fs::remove_all(run.root, ec);
  }
}

std::vector<RowRun>& Runs() {
  static std::vector<RowRun> runs(Rows().size());
  return runs;
}

std::vector<Box> RecordedBoxes(const std::string& record, std::string* end) {
  std::vector<Box> boxes;
  std::istringstream in(record);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("end ", 0) == 0) *end = line;
    if (line.rfind("box\t", 0) != 0) continue;
    std::vector<std::string> f;
    std::istringstream fields(line.substr(4));
    for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
    f.resize(4);
    boxes.push_back({f[0], f[1], f[2], f[3]});
  }
  return boxes;
}

// Files whose names begin with a dot: the temporary files of an atomic write.
std::vector<std::string> StrayFiles(const fs::path& dir) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(dir, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->path().filename().string().front() == '.') out.push_back(it->path().string());
  return out;
}

class LauncherFaults : public ::testing::TestWithParam<std::size_t> {
 public:
  static void SetUpTestSuite() {
    Server() = std::make_unique<testing::TestHttpServer>();
    for (std::size_t i = 0; i < Rows().size(); ++i) {
      try {
        Start(Rows()[i], Runs()[i], *Server());
      } catch (const std::exception& e) {
        Runs()[i].error = e.what();
      }
    }
  }
  static void TearDownTestSuite() {
    for (RowRun& r : Runs()) Cleanup(r);
    Server().reset();
  }

 private:
  static std::unique_ptr<testing::TestHttpServer>& Server() {
    static std::unique_ptr<testing::TestHttpServer> server;
    return server;
  }
};

TEST_P(LauncherFaults, ShowsTheNamedMessagesAndKeepsTheDiskWhole) {
  const Row& row = Rows()[GetParam()];
  RowRun& run = Runs()[GetParam()];
  ASSERT_EQ(run.error, "");
  if (!run.skip.empty()) GTEST_SKIP() << run.skip;
  ASSERT_TRUE(run.ended.valid());
  const bool ended = run.ended.wait_for(std::chrono::duration<double>(row.maxSeconds + 20)) == std::future_status::ready;
  if (!ended) ::kill(run.pid, SIGKILL);
  const auto [status, seconds] = run.ended.get();
  ASSERT_TRUE(ended) << "the launcher hung";

  // No crash, no hang past the limits.
  EXPECT_EQ(status, 0);
  EXPECT_LE(seconds, row.maxSeconds) << "took too long";
  EXPECT_GE(seconds, row.minSeconds) << "ended before its limit";

  // The messages, in order.
  std::string end;
  const std::vector<Box> boxes = RecordedBoxes(ReadAll(run.Record()), &end);
  std::vector<Box> expectedBoxes = row.boxes;
  for (Box& b : expectedBoxes)
    if (const auto at = b.text.find("{copy}"); at != std::string::npos) b.text.replace(at, 6, run.CopyFile().string());
  EXPECT_EQ(boxes, expectedBoxes);
  EXPECT_EQ(end, row.end);

  // The per-user copy: never lost or cut; replaced only by a whole served text.
  EXPECT_EQ(Snapshot(run.CopyFile()), row.copyFromServer ? "file:" + AsCopy(run.served) : run.copyBefore);

  // The terminal's files: each either old or whole new; a side file only for what was written.
  if (row.disk != Disk::kTargetBlockedByFile) {
    const std::map<std::string, std::map<std::string, std::string>> expected{
        {"exe", {{"old", "file:" + ReadAll(Env("RUV_FAULT_TERMINAL_OLD"))}, {"new", "file:" + ReadAll(Env("RUV_FAULT_TERMINAL_NEW"))}}},
        {"data", {{"old", "file:old data"}, {"new", "file:new data"}}},
        {"hash", {{"old", "file:h1\r\n"}, {"new", "file:h2\r\n"}}},
    };
    auto want = [&](const char* file, const std::string& state) {
      return state == "none" || state == "dir" ? state : expected.at(file).at(state);
    };
    EXPECT_EQ(Snapshot(run.Terminal() / "kadry.exe"), want("exe", row.files.exe)) << "kadry.exe";
    EXPECT_EQ(Snapshot(run.Terminal() / "dane.xml"), want("data", row.files.data)) << "dane.xml";
    EXPECT_EQ(Snapshot(run.Terminal() / "dane.xml.hash"), want("hash", row.files.hash)) << "dane.xml.hash";
  } else {
    EXPECT_EQ(Snapshot(run.Cwd() / "terminale"), "file:not a directory");
  }
  EXPECT_EQ(StrayFiles(run.Cwd()), std::vector<std::string>{});
  EXPECT_EQ(StrayFiles(run.root / "config"), std::vector<std::string>{});

  // The terminal was started exactly when the row says so, with the access token.
  if (row.started) {
    const auto until = Clock::now() + 5s;
    while (!fs::exists(run.Started()) && Clock::now() < until) std::this_thread::sleep_for(20ms);
    EXPECT_NE(ReadAll(run.Started()).find("\nKowmept\nzu617!%&\n58\n20316\n"), std::string::npos)
        << "the terminal was not started";
  } else {
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(fs::exists(run.Started())) << "a terminal was started";
  }
  if (row.downloader == Downloader::kServed && row.disk != Disk::kDownloaderBlocked) {
    EXPECT_EQ(Snapshot(run.Cwd() / "ruv_virad_downloader.exe"), "file:" + kDownloader);
  }
  if (row.downloader == Downloader::kMissing || row.downloader == Downloader::kEmpty) {
    EXPECT_FALSE(fs::exists(run.Cwd() / "ruv_virad_downloader.exe")) << "a downloader was written";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, LauncherFaults, ::testing::Range<std::size_t>(0, Rows().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) { return Rows()[info.param].name; });

// --- A configuration past its bound ---

// The server sends the configuration without end, as fast as the launcher reads.
// The launcher takes no more than its bound for a configuration: it closes the
// connection there and falls back to its copy at once, without waiting out the
// 5 s of the timed fetch, with the boxes of any failed load.
TEST(LauncherOversizedConfiguration, AnEndlessConfigurationIsCutAtItsBoundAndTheCopyServesAtOnce) {
  const Row row{.name = "EndlessConfiguration", .served = Served::kEndless, .boxes = kFetchFailedBoxes,
                .end = kShownWithButton};
  testing::TestHttpServer server;
  RowRun run;
  struct Ending {
    RowRun& run;
    ~Ending() { Cleanup(run); }
  } ending{run};
  Start(row, run, server);
  ASSERT_TRUE(run.ended.valid());
  const std::string config = "/EndlessConfiguration/ruv_virad_2.xml";

  // From the request reaching the server to the first box of the fallback.
  std::optional<Clock::time_point> asked;
  const auto limit = Clock::now() + 40s;
  while (ReadAll(run.Record()).empty() && run.ended.wait_for(0s) != std::future_status::ready && Clock::now() < limit) {
    if (!asked && !server.Requests().empty()) asked = Clock::now();
    std::this_thread::sleep_for(5ms);
  }
  const auto fallback = Clock::now();
  ASSERT_FALSE(ReadAll(run.Record()).empty()) << "no box came";
  // Request and box may both have come within one pause of the loop.
  if (!asked && !server.Requests().empty()) asked = fallback;
  ASSERT_TRUE(asked.has_value()) << "the configuration was never asked for";
  const double afterRequest = std::chrono::duration<double>(fallback - *asked).count();
  ::testing::Test::RecordProperty("fallback_after_request_s", std::to_string(afterRequest));
  // Waiting out the limit would take 5 s; the bound ends the fetch in a fraction of that.
  EXPECT_LT(afterRequest, 4.0) << "the launcher waited for the time limit";

  // The connection is closed once the bound has been read past: the server sent
  // the bound and no more than its socket buffers took on top.
  std::vector<testing::ClosedTransfer> closed;
  for (const auto until = Clock::now() + 5s; (closed = server.ClosedTransfers()).empty() && Clock::now() < until;)
    std::this_thread::sleep_for(20ms);
  ASSERT_EQ(closed.size(), 1u) << "the connection was not closed";
  EXPECT_EQ(closed.front().path, config);
  ::testing::Test::RecordProperty("bytes_sent", std::to_string(closed.front().bytes));
  constexpr long long kBound = 16LL << 20;
  EXPECT_GE(closed.front().bytes, kBound);
  EXPECT_LT(closed.front().bytes, kBound + (48LL << 20));
  const auto requests = server.Requests();
  EXPECT_EQ(std::count(requests.begin(), requests.end(), config), 1);

  // The launcher itself went on as for any failed fetch.
  ASSERT_EQ(run.ended.wait_for(20s), std::future_status::ready) << "the launcher hung";
  const auto [status, seconds] = run.ended.get();
  EXPECT_EQ(status, 0);
  std::string end;
  EXPECT_EQ(RecordedBoxes(ReadAll(run.Record()), &end), row.boxes);
  EXPECT_EQ(end, row.end);
  EXPECT_EQ(Snapshot(run.CopyFile()), run.copyBefore);
}

}  // namespace
}  // namespace ruv
