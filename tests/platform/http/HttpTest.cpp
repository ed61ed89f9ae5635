#include "ruv/platform/Http.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>
#include <stop_token>
#include <thread>

#include "TestHttpServer.h"
#include "ruv/platform/Exception.h"

namespace ruv::http {
namespace {

using ruv::testing::HttpRule;
using ruv::testing::TestCertificates;
using ruv::testing::TestHttpServer;

// A bound no body of these tests comes near.
constexpr std::int64_t kFar = std::int64_t{1} << 30;
std::string Fetch(const std::string& url, bool tls, std::stop_token stop = {}) {
  return Get(url, tls, kFar, std::move(stop));
}

// Waits up to 2 s for the server to see its endless responses closed.
std::vector<ruv::testing::ClosedTransfer> ClosedSoon(const TestHttpServer& server) {
  for (int i = 0; i < 200 && server.ClosedTransfers().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return server.ClosedTransfers();
}

// Shortened limits so that stalls show within a second.
class HttpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTransferLimitsForTesting(TransferLimits{std::chrono::milliseconds(2000), 1, std::chrono::seconds(1), 5});
  }
  void TearDown() override {
    SetTransferLimitsForTesting(std::nullopt);
    SetCaFileForTesting(std::nullopt);
  }
};

TEST_F(HttpTest, ServerFaults) {
  TestHttpServer server;
  const std::string body(300000, 'b');
  server.PutFile("f.bin", body);
  server.PutFile("dir/x y.txt", "spaced");
  struct Case {
    const char* name;
    HttpRule rule;
    bool ok;
  };
  const Case cases[] = {
      {"plain", {}, true},
      {"chunked", {.chunked = true}, true},
      {"redirected", {.redirect = "/dir/x y.txt"}, true},
      {"not found", {.status = 404}, false},
      {"server error", {.status = 500}, false},
      {"no content", {.status = 204}, true},
      {"final redirect without location", {.status = 301}, false},
      {"redirect loop", {.redirect = "/loop"}, false},
      {"cut short", {.cut = 1000}, false},
      {"broken chunking", {.brokenChunk = 1000}, false},
      {"stalled", {.stall = 1}, false},
      {"slow but moving", {.body = "01234", .trickle = 1, .trickleInterval = 0.3}, true},
  };
  server.SetRule("/loop", {.redirect = "/loop"});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = std::string("/case/") + c.name;
    server.PutFile(path.substr(1), body);
    server.SetRule(path, c.rule);
    if (!c.ok) {
      EXPECT_THROW(Fetch(server.Url() + path, false), EIdException);
      continue;
    }
    std::string expected = c.rule.body ? *c.rule.body : c.rule.redirect ? "spaced" : body;
    if (c.rule.status) expected.clear();
    EXPECT_EQ(Fetch(server.Url() + path, false), expected);
  }
  EXPECT_EQ(Fetch(server.Url() + "/f.bin", false), body);
  // Five redirects in a row are followed, a sixth is not.
  for (int i = 1; i <= 6; ++i)
    server.SetRule("/chain/" + std::to_string(i), {.redirect = i == 1 ? "/f.bin" : "/chain/" + std::to_string(i - 1)});
  EXPECT_EQ(Fetch(server.Url() + "/chain/5", false), body);
  EXPECT_THROW(Fetch(server.Url() + "/chain/6", false), EIdException);
}

TEST_F(HttpTest, RefusedConnectionFails) {
  int port = 0;
  {
    TestHttpServer gone;
    port = gone.Port();
  }
  EXPECT_THROW(Fetch("http://127.0.0.1:" + std::to_string(port) + "/a", false), EIdException);
}

TEST_F(HttpTest, StopRequestEndsTheTransfer) {
  TestHttpServer server;
  const std::string body(300000, 'b');
  server.PutFile("f.bin", body);
  server.SetRule("/endless.bin", {.body = "endless", .trickle = 64 * 1024, .trickleInterval = 0.01, .endless = true});

  // A stop that is never requested leaves the transfer as it is.
  std::stop_source unused;
  EXPECT_EQ(Fetch(server.Url() + "/f.bin", false, unused.get_token()), body);

  std::stop_source stop;
  std::jthread stopper([&stop] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop.request_stop();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(Fetch(server.Url() + "/endless.bin", false, stop.get_token()), EIdException);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  // The connection is closed, not just left unread.
  const auto closed = ClosedSoon(server);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].path, "/endless.bin");
}

// What a GET hands its sink.
struct RecordingSink final : BodySink {
  std::optional<std::int64_t> announced;
  std::string body;
  int writes = 0;
  int failOnWrite = 0;  // raise on this write (1 = the first); 0: never
  void Announced(std::int64_t length) override { announced = length; }
  void Write(std::string_view bytes) override {
    if (++writes == failOnWrite) throw std::runtime_error("Disk full");
    body.append(bytes);
  }
};

TEST_F(HttpTest, ABodyPastItsBoundEndsTheTransferAtOnce) {
  TestHttpServer server;
  constexpr std::int64_t kBound = 100000;
  server.PutFile("at.bin", std::string(kBound, 'a'));
  server.PutFile("over.bin", std::string(kBound + 1, 'o'));
  struct Case {
    const char* name;
    const char* path;
    HttpRule rule;
    bool ok;
  };
  const Case cases[] = {
      {"announced, exactly at the bound", "/at.bin", {}, true},
      {"chunked, exactly at the bound", "/at.bin", {.chunked = true}, true},
      {"announced above the bound", "/over.bin", {}, false},
      {"chunked past the bound", "/over.bin", {.chunked = true}, false},
      {"without end", "/endless.bin", {.body = "x", .endless = true}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server.SetRule(c.path, c.rule);
    RecordingSink sink;
    if (c.ok) {
      Get(server.Url() + c.path, false, sink, kBound);
      EXPECT_EQ(sink.body.size(), static_cast<std::size_t>(kBound));
      EXPECT_EQ(sink.announced, c.rule.chunked ? std::nullopt : std::optional<std::int64_t>(kBound));
      continue;
    }
    EXPECT_THROW(Get(server.Url() + c.path, false, sink, kBound), EBodyTooLarge);
    EXPECT_LE(sink.body.size(), static_cast<std::size_t>(kBound));
    // An announced length above the bound is refused before any of the body.
    if (!c.rule.chunked && !c.rule.endless) {
      EXPECT_EQ(sink.writes, 0);
    }
  }
  // The endless body's connection is closed, not left to run.
  const auto closed = ClosedSoon(server);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].path, "/endless.bin");
  // A bound of nothing still takes an empty body.
  server.SetRule("/empty", {.body = ""});
  EXPECT_EQ(Get(server.Url() + "/empty", false, 0), "");
  EXPECT_THROW(Get(server.Url() + "/at.bin", false, 0), EBodyTooLarge);
}

// An announced length above the bound ends the GET as soon as the headers of a
// response whose body would be read are in (the successful one, or a redirect),
// rather than waiting for a body the server may never send; a failure's length
// does not count, nor does one response's length count for the next.
TEST_F(HttpTest, AnAnnouncedLengthAboveTheBoundIsRefusedAtTheHeaders) {
  // A stall limit long enough that a GET waiting for the body could not pass.
  const TransferLimits limits{std::chrono::milliseconds(2000), 1, std::chrono::seconds(12), 5};
  SetTransferLimitsForTesting(limits);
  TestHttpServer server;
  constexpr std::int64_t kBound = 1000;
  constexpr long kHuge = 1L << 40;
  server.PutFile("small.bin", "small");
  server.SetRule("/huge", {.body = "", .length = kHuge, .stall = 0, .stallSeconds = 60});
  server.SetRule("/huge redirect",
                 {.redirect = "/small.bin", .body = "", .length = kHuge, .stall = 0, .stallSeconds = 60});
  for (const char* path : {"/huge", "/huge redirect"}) {
    SCOPED_TRACE(path);
    RecordingSink sink;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(Get(server.Url() + path, false, sink, kBound), EBodyTooLarge);
    EXPECT_LT(std::chrono::steady_clock::now() - start, limits.lowSpeedTime / 4);
    EXPECT_EQ(sink.writes, 0);
    EXPECT_EQ(sink.announced, std::nullopt);
  }

  server.SetRule("/chunked.bin", {.body = "chunked", .chunked = true});
  enum class Outcome { kServed, kTooLarge, kFailed };  // kFailed: but not for its size
  struct Case {
    const char* name;
    HttpRule rule;
    Outcome outcome;
    std::string body = {};
  };
  const Case cases[] = {
      {"redirect announcing a huge length", {.redirect = "/small.bin", .length = kHuge}, Outcome::kTooLarge},
      {"redirect at the bound, to a body without a length",
       {.redirect = "/chunked.bin", .body = std::string(kBound, 'r')},
       Outcome::kServed,
       "chunked"},
      {"not found, announcing a huge length", {.status = 404, .length = kHuge}, Outcome::kFailed},
      {"final redirect, announcing a huge length", {.status = 301, .length = kHuge}, Outcome::kFailed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = std::string("/case/") + c.name;
    server.SetRule(path, c.rule);
    try {
      const std::string body = Get(server.Url() + path, false, kBound);
      EXPECT_EQ(c.outcome, Outcome::kServed);
      EXPECT_EQ(body, c.body);
    } catch (const EBodyTooLarge& e) {
      EXPECT_EQ(c.outcome, Outcome::kTooLarge) << e.what();
    } catch (const EIdException& e) {
      EXPECT_EQ(c.outcome, Outcome::kFailed) << e.what();
    }
  }
}

// The body bytes the server sent on path before its connection closed; none when
// it has not closed within 10 s.
std::optional<long long> SentBeforeClose(const TestHttpServer& server, const std::string& path) {
  for (int i = 0; i < 1000; ++i) {
    for (const auto& closed : server.ClosedTransfers())
      if (closed.path == path) return closed.bytes;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

// A redirect's body counts against the bound like any other, whatever its framing:
// past the bound, or announced above it, the GET ends there with EBodyTooLarge and
// closes the connection, and nothing of it reaches the sink. A redirect whose body
// ends within the bound is followed.
TEST_F(HttpTest, ARedirectsBodyCountsAgainstTheBound) {
  TestHttpServer server;
  constexpr std::int64_t kBound = std::int64_t{1} << 20;
  // What the sockets of both ends may hold beyond what the client has read.
  constexpr long long kSocketBuffers = 64LL << 20;
  // Where the server itself gives up on a body without end, so that a GET that
  // reads on still ends.
  constexpr long long kGiveUp = 1LL << 30;
  server.PutFile("file.bin", std::string(kBound, 'f'));
  const auto endless = [&](HttpRule rule) {
    rule.redirect = "/file.bin";
    rule.body = "r";
    rule.endless = true;
    rule.endlessLimit = kGiveUp;
    return rule;
  };
  struct Case {
    const char* name;
    HttpRule rule;
    bool ok;
  };
  const Case cases[] = {
      {"302, chunked, without end", endless({.chunked = true, .keepAlive = true}), false},
      {"302, announcing more than the bound, without end", endless({.length = 1L << 40, .keepAlive = true}), false},
      {"302 without a length, until the server closes", endless({}), false},
      {"301 whose body ends at the bound, then the file",
       {.redirect = "/file.bin", .redirectStatus = 301, .body = std::string(kBound, 'r'), .keepAlive = true},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = std::string("/case/") + c.name;
    server.SetRule(path, c.rule);
    RecordingSink sink;
    if (c.ok) {
      EXPECT_NO_THROW(Get(server.Url() + path, false, sink, kBound));
      EXPECT_EQ(sink.body, std::string(kBound, 'f'));
      continue;
    }
    EXPECT_THROW(Get(server.Url() + path, false, sink, kBound), EBodyTooLarge);
    EXPECT_EQ(sink.writes, 0);
    const auto sent = SentBeforeClose(server, path);
    ASSERT_TRUE(sent.has_value()) << "the connection was left open";
    EXPECT_LE(*sent, kBound + kSocketBuffers);
  }
}

TEST_F(HttpTest, OnlyTheBodyOfASuccessfulResponseReachesTheSink) {
  TestHttpServer server;
  server.PutFile("f.bin", "the file");
  for (const int status : {301, 302, 404, 500}) {
    SCOPED_TRACE(status);
    server.SetRule("/f.bin", {.status = status});
    RecordingSink sink;
    EXPECT_THROW(Get(server.Url() + "/f.bin", false, sink, kFar), EIdException);
    EXPECT_EQ(sink.writes, 0);
  }
}

TEST_F(HttpTest, ASinkThatFailsEndsTheTransferWithItsOwnError) {
  TestHttpServer server;
  server.SetRule("/endless.bin", {.body = "x", .endless = true});
  RecordingSink sink;
  sink.failOnWrite = 3;
  try {
    Get(server.Url() + "/endless.bin", false, sink, kFar);
    ADD_FAILURE() << "the GET went on past its sink's failure";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Disk full");
  }
  EXPECT_EQ(sink.writes, 3);
  const auto closed = ClosedSoon(server);
  ASSERT_EQ(closed.size(), 1u);
  EXPECT_EQ(closed[0].path, "/endless.bin");
}

TEST_F(HttpTest, TlsVerifiesAgainstTrustedAuthority) {
  TestHttpServer plain;
  const auto certs = TestCertificates::Make(plain.Root());
  TestHttpServer trusted(TestHttpServer::Tls{certs.serverCert, certs.serverKey});
  TestHttpServer selfSigned(TestHttpServer::Tls{certs.selfSignedCert, certs.selfSignedKey});
  for (auto* s : {&trusted, &selfSigned}) s->PutFile("a.txt", "secret");
  plain.SetRule("/up", {.redirect = trusted.Url() + "/a.txt"});

  // The system's store does not know the throw-away authority.
  EXPECT_THROW(Fetch(trusted.Url() + "/a.txt", true), EIdException);
  SetCaFileForTesting(certs.caCert.string());
  EXPECT_EQ(Fetch(trusted.Url() + "/a.txt", true), "secret");
  EXPECT_EQ(Fetch("https://localhost:" + std::to_string(trusted.Port()) + "/a.txt", true), "secret");
  EXPECT_THROW(Fetch(selfSigned.Url() + "/a.txt", true), EIdException);
  // Without TLS neither an https URL nor a redirect to one is fetched.
  EXPECT_THROW(Fetch(trusted.Url() + "/a.txt", false), EIdException);
  EXPECT_THROW(Fetch(plain.Url() + "/up", false), EIdException);
  EXPECT_EQ(Fetch(plain.Url() + "/up", true), "secret");
  // Once TLS was asked for, a redirect never leads back to plain HTTP.
  plain.PutFile("open.txt", "open");
  trusted.SetRule("/down", {.redirect = plain.Url() + "/open.txt"});
  EXPECT_THROW(Fetch(trusted.Url() + "/down", true), EIdException);
}

TEST(EncodeUrl, UnsafeCharactersArePercentEncoded) {
  EXPECT_EQ(EncodeUrl("http://h/a b/%41?x=\"1\"#f"), "http://h/a%20b/%41?x=%221%22#f");
  EXPECT_EQ(EncodeUrl("http://h/zażółć\t{|}"), "http://h/za%C5%BC%C3%B3%C5%82%C4%87%09%7B%7C%7D");
}

}  // namespace
}  // namespace ruv::http
