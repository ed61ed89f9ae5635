#include "ruv/platform/Http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <new>

#include "ruv/platform/Exception.h"

namespace ruv::http {
namespace {

std::mutex g_hooks_mutex;
std::optional<std::string> g_ca_file;
std::optional<TransferLimits> g_limits;

// libcurl's global state is set up once and never torn down: workers that were
// abandoned may still be inside a transfer when the process exits.
void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) throw EIdException("Cannot initialise the HTTP library");
  });
}

// One response's way from libcurl to the sink, with the bound kept on the way.
// Every response whose body is read is bounded: the successful one, whose body is
// the sink's, and each redirect, whose body is read and dropped (as it must be to
// keep the connection for the next request).
struct Transfer {
  enum class Body { Unknown, Kept, Dropped };
  CURL* curl;
  BodySink& sink;
  std::int64_t maxBytes;
  Body body = Body::Unknown;  // settled at the end of the response's headers
  std::int64_t received = 0;
  bool announced = false;     // the sink has been told the announced length
  bool tooLarge = false;
  long refusedStatus = 0;  // the final status of a response whose body was not read
  std::exception_ptr sinkError;
};

long ResponseCode(CURL* curl) {
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  return status;
}

bool Successful(long status) { return status >= 200 && status <= 299; }

// A redirect that is followed: a 3xx status with a Location to go to.
bool Redirect(CURL* curl, long status) {
  if (status < 300 || status > 399) return false;
  curl_header* location = nullptr;
  return curl_easy_header(curl, "Location", 0, CURLH_HEADER, -1, &location) == CURLHE_OK && location->value &&
         location->value[0] != '\0';
}

// The Content-Length of the response being received, -1 when it announced none.
curl_off_t AnnouncedLength(CURL* curl) {
  curl_off_t length = -1;
  if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) return -1;
  return length;
}

// Settles what becomes of the body of the response whose headers are in: kept
// (2xx), read and dropped (a redirect), or not read at all (any other status).
// An announced length above the bound ends the transfer here, not at the first
// byte of a body that may never come. False ends the transfer.
bool BeginBody(Transfer& t) {
  const long status = ResponseCode(t.curl);
  if (Successful(status)) {
    t.body = Transfer::Body::Kept;
  } else if (Redirect(t.curl, status)) {
    t.body = Transfer::Body::Dropped;
  } else {
    t.refusedStatus = status;
    return false;
  }
  if (AnnouncedLength(t.curl) > t.maxBytes) {
    t.tooLarge = true;
    return false;
  }
  return true;
}

// libcurl hands over every header line of the response, those of interim (1xx)
// responses included; an empty line ends one response's headers.
size_t ReadHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  const std::string_view line(data, n);
  if (line != "\r\n" && line != "\n") return n;
  if (ResponseCode(t->curl) < 200) return n;  // an interim response: the real one follows
  return BeginBody(*t) ? n : 0;               // 0 aborts the transfer
}

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  // Returning less than n aborts the transfer.
  try {
    // Settled at the end of the headers already; kept here for a response whose
    // headers' end was not seen.
    if (t->body == Transfer::Body::Unknown && !BeginBody(*t)) return 0;
    if (n > static_cast<std::uint64_t>(t->maxBytes - t->received)) {
      t->tooLarge = true;
      return 0;
    }
    t->received += static_cast<std::int64_t>(n);
    if (t->body != Transfer::Body::Kept) return n;
    if (!t->announced) {
      t->announced = true;
      if (const curl_off_t length = AnnouncedLength(t->curl); length >= 0) t->sink.Announced(length);
    }
    t->sink.Write(std::string_view(data, n));
  } catch (...) {
    t->sinkError = std::current_exception();
    return 0;
  }
  return n;
}

// libcurl asks this often while data flows and about once a second while it
// waits (for the connection, for data); a non-zero answer aborts the transfer.
int StopRequested(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::stop_token*>(user)->stop_requested() ? 1 : 0;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

template <class T>
void Set(CURL* curl, CURLoption option, T value) {
  if (curl_easy_setopt(curl, option, value) != CURLE_OK) throw EIdException("Cannot set up the HTTP request");
}

}  // namespace

std::string EncodeUrl(const std::string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (const char ch : url) {
    const auto c = static_cast<unsigned char>(ch);
    const bool unsafe = c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '^' || c == '`' ||
                        c == '{' || c == '|' || c == '}';
    if (unsafe) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += ch;
    }
  }
  return out;
}

void Get(const std::string& url, bool tls, BodySink& sink, std::int64_t maxBytes, std::stop_token stop) {
  InitCurlOnce();
  std::optional<std::string> caFile;
  TransferLimits limits;
  {
    std::lock_guard lock(g_hooks_mutex);
    caFile = g_ca_file;
    if (g_limits) limits = *g_limits;
  }
  std::unique_ptr<CURL, CurlDeleter> handle(curl_easy_init());
  if (!handle) throw EIdException("Cannot set up the HTTP request");
  CURL* curl = handle.get();
  Transfer transfer{curl, sink, std::max<std::int64_t>(maxBytes, 0), Transfer::Body::Unknown, 0, false, false, 0, nullptr};
  char error[CURL_ERROR_SIZE] = {};

  // Redirects are followed here rather than by libcurl, which reads a redirect's
  // body without handing it to any callback, so no bound could see it: each
  // response is a transfer of its own, and its body goes through WriteBody. The
  // handle keeps its connection from one to the next.
  Set(curl, CURLOPT_FOLLOWLOCATION, 0L);
  Set(curl, CURLOPT_NOSIGNAL, 1L);
  Set(curl, CURLOPT_FAILONERROR, 1L);
  Set(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
  Set(curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedBytesPerSecond);
  Set(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(limits.lowSpeedTime.count()));
  Set(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  Set(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (caFile) Set(curl, CURLOPT_CAINFO, caFile->c_str());
  Set(curl, CURLOPT_ERRORBUFFER, error);
  Set(curl, CURLOPT_BUFFERSIZE, 256L * 1024);
  Set(curl, CURLOPT_WRITEFUNCTION, &WriteBody);
  Set(curl, CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
  Set(curl, CURLOPT_HEADERFUNCTION, &ReadHeader);
  Set(curl, CURLOPT_HEADERDATA, static_cast<void*>(&transfer));
  // A proxy's answer to a tunnel request is not the server's response.
  Set(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (stop.stop_possible()) {
    Set(curl, CURLOPT_XFERINFOFUNCTION, &StopRequested);
    Set(curl, CURLOPT_XFERINFODATA, static_cast<void*>(&stop));
    Set(curl, CURLOPT_NOPROGRESS, 0L);
  }

  std::string next = EncodeUrl(url);
  for (long redirects = 0;; ++redirects) {
    Set(curl, CURLOPT_URL, next.c_str());
    // Without tls only plain HTTP; with it, the template's URL may be either, and a
    // redirect never leaves TLS.
    Set(curl, CURLOPT_PROTOCOLS_STR, !tls ? "http" : redirects == 0 ? "http,https" : "https");
    transfer.body = Transfer::Body::Unknown;
    transfer.received = 0;
    error[0] = '\0';

    const CURLcode rc = curl_easy_perform(curl);
    if (transfer.sinkError) std::rethrow_exception(transfer.sinkError);
    if (rc == CURLE_ABORTED_BY_CALLBACK && stop.stop_requested()) throw EIdException("The transfer was stopped");
    if (transfer.refusedStatus != 0) throw EIdException("HTTP status " + std::to_string(transfer.refusedStatus));
    if (transfer.tooLarge)
      throw EBodyTooLarge("The file is larger than " + std::to_string(transfer.maxBytes) + " bytes");
    if (rc != CURLE_OK) throw EIdSocketError(error[0] ? std::string(error) : std::string(curl_easy_strerror(rc)));
    const long status = ResponseCode(curl);
    if (Successful(status)) return;
    char* location = nullptr;
    if (!Redirect(curl, status) || curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) != CURLE_OK ||
        location == nullptr)
      throw EIdException("HTTP status " + std::to_string(status));
    if (redirects == limits.maxRedirects)
      throw EIdException("More than " + std::to_string(limits.maxRedirects) + " redirects");
    next = EncodeUrl(location);
  }
}

void StringSink::Announced(std::int64_t length) {
  try {
    body_.reserve(static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    throw EIdException("Not enough memory for the downloaded file");
  }
}

void StringSink::Write(std::string_view bytes) {
  try {
    body_.append(bytes);
  } catch (const std::bad_alloc&) {
    throw EIdException("Not enough memory for the downloaded file");
  }
}

std::string Get(const std::string& url, bool tls, std::int64_t maxBytes, std::stop_token stop) {
  StringSink sink;
  Get(url, tls, sink, maxBytes, std::move(stop));
  return sink.Take();
}

void SetCaFileForTesting(std::optional<std::string> caFile) {
  std::lock_guard lock(g_hooks_mutex);
  g_ca_file = std::move(caFile);
}

void SetTransferLimitsForTesting(std::optional<TransferLimits> limits) {
  std::lock_guard lock(g_hooks_mutex);
  g_limits = limits;
}

}  // namespace ruv::http
