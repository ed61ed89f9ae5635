#pragma once
// HTTP(S) client: one GET of a URL into memory (libcurl beneath).
//
// Behaviour of every GET:
// - the whole body is returned, or EIdException is raised: a failed connection,
//   a final status outside 200..299, a transfer cut short (fewer bytes than the
//   announced Content-Length, broken chunking) or a TLS failure are all errors;
// - with tls, the server's certificate and host name are verified against the
//   system's trust store; without tls only plain "http" is allowed, so an
//   "https" URL (or a redirect to one) fails;
// - a connection that cannot be made within 15 s fails; a transfer that moves
//   less than 1 byte per second over 30 s is aborted; a slow but moving transfer
//   has no time limit;
// - up to 5 redirects are followed; the usual proxy environment variables
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
#include <optional>
#include <stop_token>
#include <string>

namespace ruv::http {

struct TransferLimits {
  std::chrono::milliseconds connectTimeout{15000};
  long lowSpeedBytesPerSecond = 1;
  std::chrono::seconds lowSpeedTime{30};
  long maxRedirects = 5;
};

// GETs url and returns the response body. Raises EIdException on any failure,
// and when stop is requested before the transfer has ended.
std::string Get(const std::string& url, bool tls, std::stop_token stop = {});

// The URL as sent: unsafe characters percent-encoded (a "%" is kept as it is).
std::string EncodeUrl(const std::string& url);

// Test hooks. Tests trust a throw-away certificate authority (a PEM file) in
// place of the system's store, or shorten the limits; an empty optional restores
// the defaults. The program never calls them.
void SetCaFileForTesting(std::optional<std::string> caFile);
void SetTransferLimitsForTesting(std::optional<TransferLimits> limits);

}  // namespace ruv::http
