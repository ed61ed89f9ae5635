#include "TestHttpServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace ruv::testing {
namespace {

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string RuleJson(const HttpRule& r) {
  std::ostringstream o;
  o << "{\"delay\": " << r.delay << ", \"stall_seconds\": " << r.stallSeconds
    << ", \"trickle_interval\": " << r.trickleInterval;
  if (r.status) o << ", \"status\": " << *r.status;
  if (r.redirect) o << ", \"redirect\": " << Quote(*r.redirect);
  if (r.redirectStatus) o << ", \"redirect_status\": " << *r.redirectStatus;
  if (r.body) o << ", \"body\": " << Quote(*r.body);
  if (r.length) o << ", \"length\": " << *r.length;
  if (r.cut) o << ", \"cut\": " << *r.cut;
  if (r.stall) o << ", \"stall\": " << *r.stall;
  if (r.trickle) o << ", \"trickle\": " << *r.trickle;
  if (r.chunked) o << ", \"chunked\": true";
  if (r.brokenChunk) o << ", \"broken_chunk\": " << *r.brokenChunk;
  if (r.endless) o << ", \"endless\": true";
  if (r.endlessLimit) o << ", \"endless_limit\": " << *r.endlessLimit;
  if (r.keepAlive) o << ", \"keep_alive\": true";
  o << "}";
  return o.str();
}

void WriteAtomically(const std::filesystem::path& path, const std::string& content) {
  const auto tmp = path.string() + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw std::runtime_error("cannot write " + tmp);
  }
  std::filesystem::rename(tmp, path);
}

void Run(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

TestCertificates TestCertificates::Make(const std::filesystem::path& dir) {
  TestCertificates c{dir / "ca.pem", dir / "server.pem", dir / "server.key", dir / "self.pem", dir / "self.key"};
  const std::string d = dir.string();
  const std::string q = " 2>/dev/null";
  const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  std::ofstream(dir / "ext.cnf") << "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                    "basicConstraints=CA:FALSE\n";
  Run("openssl req -x509" + ec + " -days 2 -subj '/CN=ruv test CA' -keyout " + d + "/ca.key -out " + d +
      "/ca.pem" + q);
  Run("openssl req" + ec + " -subj '/CN=127.0.0.1' -keyout " + d + "/server.key -out " + d + "/server.csr" + q);
  Run("openssl x509 -req -in " + d + "/server.csr -CA " + d + "/ca.pem -CAkey " + d +
      "/ca.key -CAcreateserial -days 2 -extfile " + d + "/ext.cnf -out " + d + "/server.pem" + q);
  Run("openssl req -x509" + ec + " -days 2 -subj '/CN=127.0.0.1' -addext 'subjectAltName=IP:127.0.0.1' -keyout " +
      d + "/self.key -out " + d + "/self.pem" + q);
  return c;
}

TestHttpServer::TestHttpServer(std::optional<Tls> tls, int port) : tls_(tls.has_value()) {
  std::string templ = (std::filesystem::temp_directory_path() / "ruv_http_XXXXXX").string();
  if (!::mkdtemp(templ.data())) throw std::runtime_error("cannot make a temporary directory");
  dir_ = templ;
  root_ = dir_ / "root";
  std::filesystem::create_directories(root_);
  WriteRules();

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  std::vector<std::string> args = {RUV_TEST_PYTHON, RUV_TEST_SERVER_SCRIPT, "--root", root_.string(),
                                   "--rules", (dir_ / "rules.json").string(), "--log", (dir_ / "requests.log").string(),
                                   "--port", std::to_string(port)};
  if (tls) {
    args.insert(args.end(), {"--cert", tls->cert.string(), "--key", tls->key.string()});
  }
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t parent = ::getpid();
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    ::dup2(out[1], STDOUT_FILENO);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  // The first line is the port, printed once the socket listens.
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{out[0], POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[64];
    const ssize_t n = ::read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  ::close(out[0]);
  port_ = std::atoi(line.c_str());
  if (port_ <= 0) {
    Stop();
    throw std::runtime_error("the test HTTP server did not start");
  }
}

TestHttpServer::~TestHttpServer() { Stop(); }

void TestHttpServer::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  std::error_code ec;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
  dir_.clear();
}

std::string TestHttpServer::Url() const {
  return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

void TestHttpServer::PutFile(const std::string& relative, const std::string& content) const {
  const auto path = root_ / relative;
  std::filesystem::create_directories(path.parent_path());
  WriteAtomically(path, content);
}

void TestHttpServer::SetRule(const std::string& path, const HttpRule& rule) {
  for (auto& [p, r] : rules_) {
    if (p == path) {
      r = rule;
      return WriteRules();
    }
  }
  rules_.emplace_back(path, rule);
  WriteRules();
}

void TestHttpServer::ClearRules() {
  rules_.clear();
  WriteRules();
}

void TestHttpServer::WriteRules() const {
  std::string json = "{";
  for (size_t i = 0; i < rules_.size(); ++i) {
    if (i) json += ", ";
    json += Quote(rules_[i].first) + ": " + RuleJson(rules_[i].second);
  }
  WriteAtomically(dir_ / "rules.json", json + "}");
}

std::vector<std::string> TestHttpServer::Requests() const {
  std::vector<std::string> paths;
  std::ifstream in(dir_ / "requests.log");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("GET ", 0) == 0) paths.push_back(line.substr(4));
  }
  return paths;
}

std::vector<ClosedTransfer> TestHttpServer::ClosedTransfers() const {
  std::vector<ClosedTransfer> closed;
  std::ifstream in(dir_ / "requests.log");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("CLOSED ", 0) != 0) continue;
    const auto blank = line.rfind(' ');
    closed.push_back({line.substr(7, blank - 7), std::atoll(line.c_str() + blank + 1)});
  }
  return closed;
}

}  // namespace ruv::testing
