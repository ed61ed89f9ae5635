#pragma once
// HTTP(S) client: one GET of a URL, its body handed to a sink as it arrives or
// returned whole (libcurl beneath).
//
// Behaviour of every GET:
// - the whole body is delivered, or EIdException is raised: a failed connection,
//   a final status outside 200..299, a transfer cut short (fewer bytes than the
//   announced Content-Length, broken chunking) or a TLS failure are all errors;
// - every GET has a bound on the size of each body it reads: that of the
//   successful response and that of every redirect (read and dropped), whatever
//   its framing (announced length, chunked, until the connection closes). A
//   Content-Length above the bound fails the GET as soon as that response's
//   headers are in, without waiting for any of its body, and a body that grows past
//   the bound is cut there; both raise EBodyTooLarge (an EIdException) and close
//   the connection. The body of any other response is not read at all, so the
//   length a failure announces does not count;
// - with tls, the server's certificate and host name are verified against the
//   system's trust store, and a redirect never leads back to plain "http";
//   without tls only plain "http" is allowed, so an "https" URL (or a redirect to
//   one) fails;
// - a connection that cannot be made within 15 s fails; a transfer that moves
//   less than 1 byte per second over 30 s is aborted; a slow but moving transfer
//   has no time limit;
// - up to 5 redirects (a 3xx status with a Location) are followed, each one a
//   request of its own on the same connection where the server keeps it; a 3xx
//   without a Location fails the GET; the usual proxy environment variables
//   (http_proxy, https_proxy, no_proxy, ...) are honoured;
// - characters that may not stand in a URL (blanks, control characters, bytes of
//   non-ASCII characters, "\"<>^`{|}") are sent percent-encoded.
// No connection or cache outlives a call; calls may run on several threads at once.
//
// A GET given a stop token that can be stopped gives up once a stop is requested:
// the connection is closed at libcurl's next progress check (while connecting as
// well as while reading, at least about once a second), what arrived so far is
// freed, and EIdException is raised.

#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>

namespace ruv::http {

struct TransferLimits {
  std::chrono::milliseconds connectTimeout{15000};
  long lowSpeedBytesPerSecond = 1;
  std::chrono::seconds lowSpeedTime{30};
  long maxRedirects = 5;
};

// Where a GET puts the body of the response it keeps, as the body arrives. Only
// the body of a successful (2xx) response reaches it.
class BodySink {
 public:
  // The length the server announced, before the first Write (not called when none
  // was announced, nor for an empty body); never above the GET's bound.
  virtual void Announced(std::int64_t length) { (void)length; }
  // The next bytes of the body. May raise: the transfer then ends at once and the
  // GET raises that same error.
  virtual void Write(std::string_view bytes) = 0;

 protected:
  ~BodySink() = default;
};

// The body kept whole in memory, reserved up front from the announced length (which
// the bound keeps in reason), so that it is not copied while it grows. Running out
// of memory raises EIdException.
class StringSink final : public BodySink {
 public:
  void Announced(std::int64_t length) override;
  void Write(std::string_view bytes) override;
  // Hands the body over and leaves the sink empty.
  std::string Take() { return std::exchange(body_, std::string()); }

 private:
  std::string body_;
};

// GETs url, handing the body to sink; at most maxBytes of it. Raises EIdException
// on any failure (EBodyTooLarge past the bound), the sink's own error when it
// raised, and EIdException when stop is requested before the transfer has ended.
void Get(const std::string& url, bool tls, BodySink& sink, std::int64_t maxBytes, std::stop_token stop = {});
// The same, returning the whole body.
std::string Get(const std::string& url, bool tls, std::int64_t maxBytes, std::stop_token stop = {});

// The URL as sent: unsafe characters percent-encoded (a "%" is kept as it is).
std::string EncodeUrl(const std::string& url);

// Test hooks. Tests trust a throw-away certificate authority (a PEM file) in
// place of the system's store, or shorten the limits; an empty optional restores
// the defaults. The program never calls them.
void SetCaFileForTesting(std::optional<std::string> caFile);
void SetTransferLimitsForTesting(std::optional<TransferLimits> limits);

}  // namespace ruv::http
