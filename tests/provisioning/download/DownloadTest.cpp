#include "ruv/provisioning/Download.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "TestHttpServer.h"
#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Http.h"

namespace ruv::provisioning {
namespace {

using ruv::testing::HttpRule;
using ruv::testing::TestCertificates;
using ruv::testing::TestHttpServer;
using Paths = std::vector<std::string>;

constexpr const char* kNotFetched = "Niemożliwe było sciągnięcie pliku";

std::string Fetch(const std::string& templates, const std::string& path) {
  const auto stream = downloadToStream(templates, path);
  EXPECT_EQ(stream.Position(), stream.Size());
  return stream.Bytes();
}

std::string FailureOf(const std::string& templates, const std::string& path) {
  try {
    downloadToStream(templates, path);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), "Exception");
    return e.Message();
  }
  return "served";
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.PutFile("a/f.txt", "from a");
    server_.PutFile("b/f.txt", "from b");
    server_.PutFile("c/f.txt", "from c");
    server_.PutFile("c/sub/g.txt", "sub g");
  }
  std::string T(const std::string& dir) const { return server_.Url() + "/" + dir + "/%s"; }
  TestHttpServer server_;
};

TEST_F(DownloadTest, TemplatesAreTriedInTurnEachOnce) {
  server_.SetRule("/a/f.txt", {.status = 500});
  EXPECT_EQ(Fetch(T("a") + ";" + T("b"), "f.txt"), "from b");
  EXPECT_EQ(server_.Requests(), (Paths{"/a/f.txt", "/b/f.txt"}));
}

TEST_F(DownloadTest, BlankInsideAnItemMakesTwoTemplates) {
  // "a" fails, then the two words of the second item: "b" (404) and "c".
  EXPECT_EQ(Fetch(T("a") + "; " + server_.Url() + "/nothing/%s " + T("c"), "sub\\g.txt"), "sub g");
  EXPECT_EQ(server_.Requests(), (Paths{"/a/sub/g.txt", "/nothing/sub/g.txt", "/c/sub/g.txt"}));
}

TEST_F(DownloadTest, FailuresAndRequestPaths) {
  struct Case {
    std::string templates;
    std::string path;
    std::string result;  // the body, or the failure's message
    Paths requests;
  };
  const std::string u = server_.Url();
  const Case cases[] = {
      {"", "f.txt", kNotFetched, {}},
      {" ; ;", "f.txt", kNotFetched, {}},
      {u + "/a/f.txt", "x", kNotFetched, {}},                  // no %s
      {u + "/a/%s%s", "f.txt", kNotFetched, {}},               // two
      {u + "/a/%d", "f.txt", kNotFetched, {}},                 // another conversion
      {u + "/a/%", "f.txt", kNotFetched, {}},
      {u + "/%s", "a\\f.txt", "from a", {"/a/f.txt"}},
      {u + "/%s?q=x\\y#z", "c\\sub\\g.txt", "sub g", {"/c/sub/g.txt"}},
      {u + "/%%41/%s", "f.txt", kNotFetched, {"/A/f.txt"}},     // "%%" is a "%"
      {u + "/a/%s;;" + T("b"), "f.txt", "from a", {"/a/f.txt"}},
      {";" + T("b"), "f.txt", "from b", {"/b/f.txt"}},
      {"\"" + T("a") + "\"", "f.txt", "from a", {"/a/f.txt"}},
      {u + "/none/%s", "f.txt", kNotFetched, {"/none/f.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("templates: " + c.templates + " path: " + c.path);
    const auto before = server_.Requests().size();
    EXPECT_EQ(c.result == kNotFetched ? FailureOf(c.templates, c.path) : Fetch(c.templates, c.path), c.result);
    const auto after = server_.Requests();
    EXPECT_EQ(Paths(after.begin() + static_cast<long>(before), after.end()), c.requests);
  }
}

TEST_F(DownloadTest, FailedAttemptLeavesNothingInTheResult) {
  server_.PutFile("a/big.bin", std::string(100000, 'x'));
  server_.PutFile("b/big.bin", "small");
  for (const HttpRule& rule : {HttpRule{.cut = 50000}, HttpRule{.brokenChunk = 50000}}) {
    server_.SetRule("/a/big.bin", rule);
    EXPECT_EQ(Fetch(T("a") + ";" + T("b"), "big.bin"), "small");
  }
  server_.PutFile("a/empty", "");
  EXPECT_EQ(Fetch(T("a"), "empty"), "");
}

TEST_F(DownloadTest, ABodyPastItsBoundFailsThatTemplateAlone) {
  server_.PutFile("a/big.bin", std::string(5000, 'x'));
  server_.PutFile("b/big.bin", "small");
  server_.PutFile("c/big.bin", std::string(4000, 'y'));
  server_.SetRule("/c/big.bin", {.chunked = true});
  struct Case {
    std::string templates;
    std::string result;  // the body, or the failure's class
  };
  const Case cases[] = {
      {T("a") + ";" + T("b"), "small"},
      {T("c") + ";" + T("b"), "small"},
      {T("a"), "EFileTooLarge"},
      {T("a") + ";" + T("none"), "EFileTooLarge"},
      {T("none") + ";" + T("c"), "EFileTooLarge"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.templates);
    try {
      EXPECT_EQ(downloadToStream(c.templates, "big.bin", {}, 3000).Bytes(), c.result);
    } catch (const Exception& e) {
      EXPECT_EQ(e.ClassName(), c.result);
      EXPECT_EQ(e.Message(), kNotFetched);
    }
  }
}

TEST_F(DownloadTest, TlsOnlyForLowerCaseHttps) {
  const auto certs = TestCertificates::Make(server_.Root());
  TestHttpServer tls(TestHttpServer::Tls{certs.serverCert, certs.serverKey});
  tls.PutFile("f.txt", "over tls");
  const std::string hostPort = tls.Url().substr(std::string("https").size());  // "://127.0.0.1:P"
  http::SetCaFileForTesting(certs.caCert.string());
  EXPECT_EQ(Fetch("https" + hostPort + "/%s", "f.txt"), "over tls");
  EXPECT_EQ(FailureOf("HTTPS" + hostPort + "/%s", "f.txt"), kNotFetched);
  EXPECT_EQ(Fetch("HTTPS" + hostPort + "/%s;https" + hostPort + "/%s", "f.txt"), "over tls");
  http::SetCaFileForTesting(std::nullopt);
  // The throw-away authority is not in the system's store.
  EXPECT_EQ(FailureOf("https" + hostPort + "/%s", "f.txt"), kNotFetched);
}

class SaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("ruv_save_" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "sub");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

std::string SaveFailure(const TMemoryStream& s, const std::string& dir, const std::string& name, int retries) {
  try {
    saveStreamToFile(s, dir, name, retries);
  } catch (const Exception& e) {
    return e.Message();
  }
  return "saved";
}

TEST_F(SaveTest, ChecksComeFirstInOrder) {
  const TMemoryStream empty, full(std::string("x"));
  const std::string d = dir_.string();
  EXPECT_EQ(SaveFailure(empty, d, "", 0), "Plik jest pusty");
  EXPECT_EQ(SaveFailure(full, d, "", 0), "Nie podano nazwy pliku");
  EXPECT_EQ(SaveFailure(full, d, "f", 0), "Podana ilość powtórzeń prób zapisywania pliku jest mniejsza od 1");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "f"));
}

TEST_F(SaveTest, WritesWholeContentUnderBackslashPath) {
  TMemoryStream s(std::string(70000, 'z'));
  s.Seek(123);
  const std::string d = dir_.string();
  saveStreamToFile(s, d, "sub\\a.bin", 1);
  saveStreamToFile(s, d + "\\", "b.bin", 1, true);
  EXPECT_EQ(fs::ReadFile((dir_ / "sub/a.bin").string()), s.Bytes());
  EXPECT_EQ(fs::ReadFile((dir_ / "b.bin").string()), s.Bytes());
  EXPECT_EQ(s.Position(), 123);
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / "b.bin").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  ASSERT_EQ(::stat((dir_ / "sub/a.bin").c_str(), &st), 0);
  EXPECT_FALSE(st.st_mode & S_IXUSR);

  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  saveStreamToFile(TMemoryStream(std::string("here")), ".", "c.txt", 1);
  std::filesystem::current_path(cwd);
  EXPECT_EQ(fs::ReadFile((dir_ / "c.txt").string()), "here");
}

TEST_F(SaveTest, UnwritableTargetRaisesAfterRetriesAndKeepsOldFile) {
  // A directory stands where the file should be: no write can replace it.
  std::filesystem::create_directories(dir_ / "taken" / "inside");
  const std::string d = dir_.string() + "\\";
  const auto start = std::chrono::steady_clock::now();
  const std::string message = SaveFailure(TMemoryStream(std::string("new")), d, "taken", 1);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_EQ(message,
            "Plik został sciągnięty, ale nie mógł byc zapisany na dysku.\r"
            "Proszę sprawdzić czy nie są otwarte programy które z tego pliku korzystają, i czy użytkownik "
            "systemu operacyjnego ma dostęp do katalogu docelowego:\r" +
                d + "taken");
  EXPECT_GE(ms.count(), 2000);
  EXPECT_LT(ms.count(), 3500);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "taken" / "inside"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "taken"), {}), 1);
}

TEST_F(SaveTest, ReadOnlyFileSystemKeepsOldFile) {
  const auto mnt = dir_ / "ro";
  std::filesystem::create_directories(mnt);
  if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=1m") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  fs::WriteFileAtomically((mnt / "f").string(), "old");
  const bool ro = ::mount(nullptr, mnt.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  std::string message;
  if (ro) message = SaveFailure(TMemoryStream(std::string("new")), mnt.string(), "f", 1);
  const std::string old = fs::ReadFile((mnt / "f").string());
  ::umount(mnt.c_str());
  if (!ro) GTEST_SKIP() << "cannot remount read-only";
  EXPECT_EQ(message.substr(message.rfind('\r') + 1), mnt.string() + "\\f");
  EXPECT_EQ(old, "old");
}

}  // namespace
}  // namespace ruv::provisioning
