#include "ruv/provisioning/Plik.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "Fixtures.h"
#include "TestHttpServer.h"
#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Http.h"
#include "ruv/platform/XMLDoc.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/provisioning/Terminals.h"

namespace ruv::provisioning {
namespace {

namespace fsys = std::filesystem;
using Paths = std::vector<std::string>;
using testing::Describe;
using testing::Description;

std::string Contents(const fsys::path& p) { return fs::ReadFile(p.string()); }

Paths Tree(const fsys::path& root) {
  Paths out;
  for (const auto& e : fsys::recursive_directory_iterator(root)) out.push_back(fsys::relative(e.path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

// One server for the suite (starting it takes a while); each test sees only its own requests.
class PlikTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server = new ruv::testing::TestHttpServer; }
  static void TearDownTestSuite() {
    delete server;
    server = nullptr;
  }
  void SetUp() override {
    resources::SetUrlTemplatesForTesting(server_.Url() + "/%s");
    server_.ClearRules();
    seen_ = server_.Requests().size();
  }
  void TearDown() override {
    resources::SetUrlTemplatesForTesting(std::nullopt);
    TTerminals::Finalizuj();
  }
  // The requests since the last call.
  Paths NewRequests() {
    const Paths all = server_.Requests();
    Paths fresh(all.begin() + static_cast<long>(seen_), all.end());
    seen_ = all.size();
    return fresh;
  }
  std::string Error(const Description& d, std::string* cls = nullptr) {
    try {
      TOpisPliku(Describe(d)).download();
    } catch (const Exception& e) {
      if (cls) *cls = e.ClassName();
      return e.Message();
    }
    return "<no error>";
  }
  static ruv::testing::TestHttpServer* server;
  testing::TempCwd cwd_;
  ruv::testing::TestHttpServer& server_ = *server;
  std::size_t seen_ = 0;
};
ruv::testing::TestHttpServer* PlikTest::server = nullptr;

TEST_F(PlikTest, NamesAndPaths) {
  const struct {
    Description d;
    std::string full, request;
  } cases[] = {
      {{"a.txt", "", "", "h"}, "a.txt", "a.txt"},
      {{"a.txt", "kat\\pod", "zr\\dol", ""}, "kat\\pod\\a.txt", "zr\\dol\\a.txt"},
      {{"a.txt", "kat\\", "zr\\", ""}, "kat\\\\a.txt", "zr\\\\a.txt"},
      {{"", "kat", "zr", ""}, "kat\\", "zr\\"},
  };
  for (const auto& c : cases) {
    TPlik::WczytajDane(Describe(c.d));
    EXPECT_EQ(TPlik::PobierzNazwe(), c.d.name);
    EXPECT_EQ(TPlik::PobierzSciezkeDocelowa(), c.d.target);
    EXPECT_EQ(TPlik::PobierzHashPliku(), c.d.hash);
    EXPECT_EQ(TPlik::PobierzPelnaNazwe(), c.full);
    EXPECT_EQ(TOpisPliku(TPlik::DanePliku()).PobierzSciezkeZrodlowa(), c.request);
  }
}

TEST_F(PlikTest, FetchedFilesLandUnderTheirTargetPaths) {
  server_.PutFile("a.txt", "plain");
  server_.PutFile("zr/dol/b.txt", "deep");
  server_.PutFile("c.txt", "two backslashes");
  fsys::create_directory("istnieje");
  const struct {
    const char* what;
    Description d;
    std::string request;
    std::string local;
  } cases[] = {
      {"empty target path: the current directory", {"a.txt", "", "", ""}, "/a.txt", "a.txt"},
      {"source path requested", {"b.txt", "nowy\\poziom", "zr\\dol", ""}, "/zr/dol/b.txt", "nowy/poziom/b.txt"},
      {"first level exists, a blank in the second", {"a.txt", "istnieje\\z odstępem", "", ""}, "/a.txt",
       "istnieje/z odstępem/a.txt"},
      {"target path ending with a backslash", {"c.txt", "koniec\\", "", ""}, "/c.txt", "koniec/c.txt"},
  };
  for (const auto& c : cases) {
    TPlik::WczytajDane(Describe(c.d));
    TPlik::download();
    EXPECT_EQ(NewRequests(), Paths{c.request}) << c.what;
    EXPECT_EQ(Contents(c.local), fs::ReadFile((server_.Root() / c.request.substr(1)).string())) << c.what;
  }
  EXPECT_EQ(Tree("."), (Paths{"a.txt", "istnieje", "istnieje/z odstępem", "istnieje/z odstępem/a.txt", "koniec",
                              "koniec/c.txt", "nowy", "nowy/poziom", "nowy/poziom/b.txt"}));
}

TEST_F(PlikTest, AnExistingFileIsReplacedAndAnEmptyLocalCopyIsFetchedAgain) {
  server_.PutFile("a.txt", "new content");
  for (const std::string old : {"old, longer content than the new one", ""}) {
    { std::ofstream(cwd_.Path() / "a.txt") << old; }
    TOpisPliku(Describe({"a.txt", "", "", ""})).download();
    EXPECT_EQ(Contents("a.txt"), "new content");
  }
}

TEST_F(PlikTest, ProgramFilesAreWrittenExecutable) {
  for (const std::string name : {"prog.exe", "PROG.EXE", "lib.dll", "dane.txt", "narzedzie"}) server_.PutFile(name, "x");
  const struct {
    std::string name;
    bool asProgram;
    bool executable;
  } cases[] = {
      {"prog.exe", false, true}, {"PROG.EXE", false, true}, {"lib.dll", false, false},
      {"dane.txt", false, false}, {"narzedzie", true, true},
  };
  for (const auto& c : cases) {
    TOpisPliku(Describe({c.name, "bin", "", ""})).download(c.asProgram);
    struct stat st {};
    ASSERT_EQ(::stat(("bin/" + c.name).c_str(), &st), 0) << c.name;
    EXPECT_EQ((st.st_mode & S_IXUSR) != 0, c.executable) << c.name;
    EXPECT_NE(st.st_mode & S_IRUSR, 0u) << c.name;
  }
}

TEST_F(PlikTest, NothingHappensForAnEmptyNameAndAFailedFetchTouchesNoDisk) {
  TOpisPliku(Describe({"", "nie\\tworz", "", ""})).download();
  EXPECT_EQ(NewRequests(), Paths{});
  std::string cls;
  EXPECT_EQ(Error({"brak.txt", "nie\\tworz", "", ""}, &cls), "Niemożliwe było sciągnięcie pliku");
  EXPECT_EQ(NewRequests(), Paths{"/brak.txt"});
  EXPECT_EQ(cls, "Exception");
  EXPECT_EQ(Tree("."), Paths{});
  // A final redirect without a target still carries a body, which is no file: it
  // is not written anywhere, so a target path that could not be made does not
  // even come up, and the fetch fails as one that found nothing.
  server_.PutFile("przeniesiony.txt", "x");
  server_.SetRule("/przeniesiony.txt", {.status = 301});
  { std::ofstream("blok") << "a file where a directory should go"; }
  EXPECT_EQ(Error({"przeniesiony.txt", "blok\\nie", "", ""}, &cls), "Niemożliwe było sciągnięcie pliku");
  EXPECT_EQ(cls, "Exception");
  EXPECT_EQ(Tree("."), Paths{"blok"});
}

// The body goes to disk as it arrives: an attempt that breaks off after part of it
// leaves nothing, and the next template's attempt starts from an empty file.
TEST_F(PlikTest, AnAttemptThatBreaksOffLeavesNothingAndTheNextStartsAfresh) {
  std::string first(3 << 20, 'a'), second(2 << 20, 'b');
  server_.PutFile("a/plik.bin", first);
  server_.PutFile("b/plik.bin", second);
  fsys::create_directory("pusty");
  const struct {
    const char* what;
    ruv::testing::HttpRule fault;
  } faults[] = {
      {"cut short", {.cut = 1 << 20}},
      {"broken chunk", {.brokenChunk = 1 << 20}},
      {"stalled", {.stall = 1 << 20, .stallSeconds = 2}},
  };
  http::SetTransferLimitsForTesting(http::TransferLimits{std::chrono::milliseconds(2000), 1, std::chrono::seconds(1), 5});
  for (const auto& f : faults) {
    SCOPED_TRACE(f.what);
    server_.SetRule("/a/plik.bin", f.fault);
    resources::SetUrlTemplatesForTesting(server_.Url() + "/a/%s;" + server_.Url() + "/b/%s");
    EXPECT_TRUE(TOpisPliku(Describe({"plik.bin", "nowy\\cel", "", ""})).download());
    EXPECT_TRUE(Contents("nowy/cel/plik.bin") == second);
    EXPECT_EQ(Tree("nowy"), (Paths{"cel", "cel/plik.bin"})) << "a temporary was left";
    EXPECT_EQ(NewRequests(), (Paths{"/a/plik.bin", "/b/plik.bin"}));
    fsys::remove_all("nowy");
    // With no template left, the disk is as it was: no temporary, and none of the
    // directories made for the file (an empty one that was there stays).
    resources::SetUrlTemplatesForTesting(server_.Url() + "/a/%s");
    EXPECT_EQ(Error({"plik.bin", "pusty\\nowy\\cel", "", ""}), "Niemożliwe było sciągnięcie pliku");
    EXPECT_EQ(NewRequests(), Paths{"/a/plik.bin"});
    EXPECT_EQ(Tree("."), Paths{"pusty"});
  }
  http::SetTransferLimitsForTesting(std::nullopt);
}

TEST_F(PlikTest, ATargetDirectoryThatCannotBeMadeRaisesAndEmptyLevelsGo) {
  server_.PutFile("a.txt", "x");
  fsys::create_directory("pelny");
  { std::ofstream("pelny/blok") << "a file where a directory should go"; }
  fsys::create_directory("pusty");
  const std::string tooLong(300, 'd');
  const struct {
    const char* what;
    std::string target;
    Paths after;
  } cases[] = {
      {"second level is a file; the first holds it and stays", "pelny\\blok\\x", {"pelny", "pelny/blok", "pusty"}},
      {"first level new and removed again", "nowy\\" + tooLong, {"pelny", "pelny/blok", "pusty"}},
      {"an empty level that existed is removed too", "pusty\\" + tooLong, {"pelny", "pelny/blok"}},
  };
  for (const auto& c : cases) {
    std::string cls;
    EXPECT_EQ(Error({"a.txt", c.target, "", ""}, &cls), "Błąd przy tworzeniu ściężki dla pliku \"a.txt\"") << c.what;
    EXPECT_EQ(cls, "EWrongFilePath") << c.what;
    EXPECT_EQ(Tree("."), c.after) << c.what;
  }
}

TEST_F(PlikTest, AFileThatCannotBeWrittenIsSkippedAndKeepsItsContent) {
  server_.PutFile("a.txt", "new");
  // A directory standing where the file goes.
  fsys::create_directories("cel/a.txt");
  { std::ofstream("cel/a.txt/inside") << "kept"; }
  EXPECT_NO_THROW(TOpisPliku(Describe({"a.txt", "cel", "", ""})).download());
  EXPECT_EQ(Contents("cel/a.txt/inside"), "kept");

  // A read-only medium holding the old file.
  fsys::create_directory("ro");
  if (::mount("tmpfs", "ro", "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  { std::ofstream("ro/a.txt") << "old"; }
  const bool readOnly = ::mount(nullptr, "ro", nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  if (readOnly) {
    EXPECT_NO_THROW(TOpisPliku(Describe({"a.txt", "ro", "", ""})).download());
    EXPECT_EQ(Contents("ro/a.txt"), "old");
  }
  ::umount("ro");
  if (!readOnly) GTEST_SKIP() << "cannot remount read-only";
}

TEST_F(PlikTest, ALargeFileIsWrittenWholeAndOneThatDoesNotFitKeepsTheOldCopy) {
  // Large enough to reach the disk in several stretches as it arrives.
  std::string large(40 << 20, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 131 + i / 65536) % 253);
  server_.PutFile("duzy/duzy.exe", large);
  TOpisPliku(Describe({"duzy.exe", "cel", "duzy", ""})).download();
  EXPECT_TRUE(Contents("cel/duzy.exe") == large);

  // A medium too small for the new copy: the old one stays, no temporary is left.
  fsys::create_directory("maly");
  if (::mount("tmpfs", "maly", "tmpfs", 0, "size=16m") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  { std::ofstream("maly/duzy.exe") << "old"; }
  bool written = true;
  EXPECT_NO_THROW(written = TOpisPliku(Describe({"duzy.exe", "maly", "duzy", ""})).download());
  EXPECT_FALSE(written) << "a file that did not fit was reported written";
  EXPECT_EQ(Contents("maly/duzy.exe"), "old");
  EXPECT_EQ(Tree("maly"), Paths{"duzy.exe"});
  // Nor are the directories made for a file that did not fit.
  EXPECT_FALSE(TOpisPliku(Describe({"duzy.exe", "maly\\nowy\\cel", "duzy", ""})).download());
  EXPECT_EQ(Tree("maly"), Paths{"duzy.exe"}) << "a directory made for the file was left";
  ::umount("maly");
}

TEST_F(PlikTest, LocalVersion) {
  fsys::create_directory("bin");
  fsys::copy_file(RUV_STAMPED_PLAIN, "bin/prog.exe");
  { std::ofstream("bin/dane.txt") << "no version here"; }
  const struct {
    std::string name;
    std::string version;
  } cases[] = {{"prog.exe", "3.0.0.3"}, {"dane.txt", ""}, {"brak.exe", ""}};
  for (const auto& c : cases) {
    TPlik::WczytajDane(Describe({c.name, "bin", "", ""}));
    EXPECT_EQ(TPlik::PobierzWersjeLokalnegoPliku(), c.version) << c.name;
  }
  TPlik::WczytajDane(nullptr);
  EXPECT_EQ(TPlik::PobierzWersjeLokalnegoPliku(), "");
}

TEST_F(PlikTest, NoSelectionRaisesInsteadOfCrashing) {
  TPlik::WczytajDane(nullptr);
  EXPECT_THROW(TPlik::PobierzNazwe(), Exception);
  EXPECT_THROW(TPlik::download(), Exception);
  EXPECT_EQ(NewRequests(), Paths{});
}

}  // namespace
}  // namespace ruv::provisioning
