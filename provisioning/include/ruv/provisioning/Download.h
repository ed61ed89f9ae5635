#pragma once
// Fetching files from the download server over the URL-template list, saving
// them, and the timed background fetch of the configuration.

#include <atomic>
#include <condition_variable>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Http.h"
#include "ruv/platform/MemoryStream.h"
#include "ruv/provisioning/DownloadLimits.h"

namespace ruv::provisioning {

// Raised in place of the plain failure of a fetch when no template served the
// file and a body passed its bound on the way: same message, but the caller knows
// at once that waiting for more would not help.
RUV_DECLARE_EXCEPTION(EFileTooLarge, Exception);

// Where downloadToTarget puts the body of each template's attempt as it arrives.
class IDownloadTarget : public http::BodySink {
 public:
  // A template's attempt begins: whatever an earlier attempt left is dropped.
  virtual void Begin() = 0;

 protected:
  ~IDownloadTarget() = default;
};

// Fetches the file at the request path (a name, or a source path, a backslash and
// a name) into target, at most maxBytes of it. The templates of the ";"-separated
// list are tried in their order, each once: the template's one "%s" becomes the
// request path, backslashes become "/" up to the first "?" or "#", and a URL
// beginning with lower-case "https" is fetched over TLS (any other URL over plain
// HTTP only). Returns once a template has served the whole body; an attempt that
// fails (the network, the server, a body past maxBytes) is followed by the next
// template. Raises ruv::Exception "Niemożliwe było sciągnięcie pliku" (EFileTooLarge
// when a body passed its bound) when none served it, also for an empty list,
// without network activity. An error of the target itself ends the fetch at once
// and is raised as it is, unless it is an EIdException (a memory target out of
// memory), which fails that attempt only. Once stop is requested the running attempt is cut short,
// no further template is tried, and the call raises the plain failure.
void downloadToTarget(const std::string& szablonyAdresow, const std::string& nazwaPliku, IDownloadTarget& target,
                      std::int64_t maxBytes, std::stop_token stop = {});

// The same into memory: returns the whole body of the first template that served
// it, positioned after its last byte; a failed attempt leaves nothing behind. For
// small files only: the body may be at most maxBytes long.
TMemoryStream downloadToStream(const std::string& szablonyAdresow, const std::string& nazwaPliku,
                               std::stop_token stop = {}, std::int64_t maxBytes = kMaxInMemoryFileBytes);

// Writes the stream's whole content to katalog + "\" (unless katalog ends with one)
// + nazwaPliku, at that path's native form, replacing the file atomically (the
// target is either the old file or the whole new one). Up to iloscPowtorzen + 1
// attempts, each failure followed by a 1000 ms pause. Raises ruv::Exception for an
// empty stream, an empty name, fewer than 1 retry, or when every attempt failed
// (a two-line message ending with the path). executable makes the file executable.
void saveStreamToFile(const TMemoryStream& stream, const std::string& katalog, const std::string& nazwaPliku,
                      int iloscPowtorzen, bool executable = false);

// The URL built from a template and a request path, or no value when the template
// does not hold exactly one "%s" (a "%%" stands for "%"; any other "%" refuses it).
std::optional<std::string> FormatUrl(const std::string& szablon, const std::string& nazwaPliku);

// A worker that fetches one file with downloadToStream over the program's URL
// templates (read when it runs), at most kMaxConfigurationBytes of it: it serves
// the configuration document. Made through Create, started once; the running
// thread keeps the object alive, so a waiter may give up on it at any time. A
// waiter that gives up calls Stop: the fetch then ends at its next chance and the
// thread frees what it had fetched, since nobody will read it.
class TWatekPobierania : public std::enable_shared_from_this<TWatekPobierania> {
 public:
  // The fetched file at position 0; set only by a fetch that succeeded, and read
  // only once Zakonczone is true.
  TMemoryStream PobranyPlik;
  // The request path; set before the thread starts.
  std::string NazwaPliku;
  // False while the fetch runs and after it failed; true once PobranyPlik holds the file.
  std::atomic<bool> Zakonczone{false};

  static std::shared_ptr<TWatekPobierania> Create(std::string nazwaPliku);
  // Runs Execute on a detached thread. Raises std::system_error when no thread can be made.
  void Start();
  // The thread body.
  void Execute();
  // Waits until Zakonczone is true, the fetch was refused for a body past its
  // bound, or the deadline has passed; returns Zakonczone.
  bool WaitFor(std::chrono::steady_clock::time_point deadline);
  // Asks the fetch to give up; may be called from any thread, at any time.
  void Stop();

 private:
  TWatekPobierania() = default;
  std::mutex mutex_;
  std::condition_variable done_;
  std::stop_source stop_;
  bool odrzucony_ = false;  // under mutex_
};

// How long downloadWithTimeout waits for its worker.
inline constexpr std::chrono::milliseconds kDownloadTimeout{5000};

// Fetches the file on a TWatekPobierania and waits at most kDownloadTimeout for it.
// Returns the fetched file at position 0, or an empty stream when the fetch failed
// or did not end in time; never raises for a failed fetch. A failed fetch is
// noticed only by the time limit, except one whose body passed its bound, which
// ends the wait at once. A worker that did not end in time is stopped: its
// transfer is cut short and its memory freed without anyone waiting for it. It
// serves the configuration document, and takes at most kMaxConfigurationBytes.
TMemoryStream downloadWithTimeout(const std::string& nazwaPliku);

}  // namespace ruv::provisioning
