#pragma once
// Fetching files from the download server over the URL-template list, saving
// them, and the timed background fetch of the configuration.

#include <atomic>
#include <condition_variable>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "ruv/platform/MemoryStream.h"

namespace ruv::provisioning {

// Fetches the file at the request path (a name, or a source path, a backslash and
// a name). The templates of the ";"-separated list are tried in their order, each
// once: the template's one "%s" becomes the request path, backslashes become "/"
// up to the first "?" or "#", and a URL beginning with lower-case "https" is
// fetched over TLS (any other URL over plain HTTP only). Returns the whole body
// of the first template that served it, positioned after its last byte; a failed
// attempt leaves nothing behind. Raises ruv::Exception "Niemożliwe było sciągnięcie
// pliku" when none served it (also for an empty list, without network activity).
// Once stop is requested the running attempt is cut short, no further template is
// tried, and the call raises the same exception.
TMemoryStream downloadToStream(const std::string& szablonyAdresow, const std::string& nazwaPliku,
                               std::stop_token stop = {});

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
// templates (read when it runs). Made through Create, started once; the running
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
  // Waits until Zakonczone is true or the deadline has passed; returns Zakonczone.
  bool WaitFor(std::chrono::steady_clock::time_point deadline);
  // Asks the fetch to give up; may be called from any thread, at any time.
  void Stop();

 private:
  TWatekPobierania() = default;
  std::mutex mutex_;
  std::condition_variable done_;
  std::stop_source stop_;
};

// How long downloadWithTimeout waits for its worker.
inline constexpr std::chrono::milliseconds kDownloadTimeout{5000};

// Fetches the file on a TWatekPobierania and waits at most kDownloadTimeout for it.
// Returns the fetched file at position 0, or an empty stream when the fetch failed
// or did not end in time; never raises for a failed fetch. A failed fetch is
// noticed only by the time limit. A worker that did not end in time is stopped:
// its transfer is cut short and its memory freed without anyone waiting for it.
TMemoryStream downloadWithTimeout(const std::string& nazwaPliku);

}  // namespace ruv::provisioning
