#pragma once
// The tests' HTTP(S) server: tools/http/test_server.py started on a free port of
// 127.0.0.1 (or a given one) in a fresh temporary directory, stopped (and the directory removed)
// when the object goes, also when a test fails. If the test program dies, the
// server dies with it.
//
//   ruv::testing::TestHttpServer server;
//   server.PutFile("sub/a.txt", "content");          // served as /sub/a.txt
//   server.SetRule("/slow.bin", {.delay = 6});        // faults per path
//   fetch(server.Url() + "/sub/a.txt");               // "http://127.0.0.1:PORT/sub/a.txt"
//   server.Requests();                                // {"/sub/a.txt", ...}
//   server.SetRule("/big.bin", {.endless = true});    // never ends on its own
//   server.ClosedTransfers();                         // {{"/big.bin", bytes sent}}
//
// HTTPS: make certificates with TestCertificates::Make(dir) and pass the server's
// pair to the constructor; trust ca with ruv::http::SetCaFileForTesting.

#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ruv::testing {

// A fault of one path; see tools/http/test_server.py for the exact meaning.
struct HttpRule {
  std::optional<int> status = std::nullopt;               // answer this status
  std::optional<std::string> redirect = std::nullopt;     // 302 to this path (with body/endless: carrying it)
  std::optional<int> redirectStatus = std::nullopt;       // that redirect's status in place of 302
  std::optional<std::string> body = std::nullopt;         // serve this text in place of the file
  std::optional<long> length = std::nullopt;              // announce this Content-Length, whatever is sent
  double delay = 0;                        // seconds before the answer
  std::optional<long> cut = std::nullopt;                 // announce all, send this many bytes, close
  std::optional<long> stall = std::nullopt;               // send this many bytes, then nothing
  double stallSeconds = 3600;
  std::optional<long> trickle = std::nullopt;             // bytes per trickleInterval
  double trickleInterval = 1;
  bool chunked = false;                    // chunked transfer encoding
  std::optional<long> brokenChunk = std::nullopt;         // chunked, closed after this many bytes
  bool endless = false;                    // the body over and over until the client closes
  std::optional<long long> endlessLimit = std::nullopt;   // ... or until this many bytes are sent
  bool keepAlive = false;                  // no "Connection: close"; the connection serves on
};

// An "endless" response that the client closed: its path and the body bytes sent.
struct ClosedTransfer {
  std::string path;
  long long bytes = 0;
};

// A throw-away certificate authority and certificates made with the openssl tool.
struct TestCertificates {
  std::filesystem::path caCert;        // the authority a test trusts
  std::filesystem::path serverCert;    // signed by it, for 127.0.0.1 and localhost
  std::filesystem::path serverKey;
  std::filesystem::path selfSignedCert;  // for 127.0.0.1 too, signed by nobody known
  std::filesystem::path selfSignedKey;
  // Writes them into dir (which must exist); raises std::runtime_error on failure.
  static TestCertificates Make(const std::filesystem::path& dir);
};

class TestHttpServer {
 public:
  struct Tls {
    std::filesystem::path cert;
    std::filesystem::path key;
  };
  TestHttpServer() : TestHttpServer(std::nullopt) {}
  // port 0 picks a free one; a fixed port is for a test that holds it (PortLock.h).
  explicit TestHttpServer(std::optional<Tls> tls, int port = 0);
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  // "http://127.0.0.1:PORT" (or https), no trailing slash.
  std::string Url() const;
  int Port() const { return port_; }
  // The served directory.
  const std::filesystem::path& Root() const { return root_; }
  // Writes a file under Root() (directories created), relative path with "/".
  void PutFile(const std::string& relative, const std::string& content) const;
  // Sets or replaces the rule of a URL path ("/a.txt"); takes effect at the next request.
  void SetRule(const std::string& path, const HttpRule& rule);
  void ClearRules();
  // The paths requested so far, in order.
  std::vector<std::string> Requests() const;
  // The endless responses closed by their client so far, in order.
  std::vector<ClosedTransfer> ClosedTransfers() const;

 private:
  void WriteRules() const;
  void Stop();

  std::filesystem::path dir_;
  std::filesystem::path root_;
  std::vector<std::pair<std::string, HttpRule>> rules_;
  bool tls_ = false;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace ruv::testing
