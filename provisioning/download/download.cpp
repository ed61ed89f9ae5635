#include <chrono>
#include <string_view>
#include <thread>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Http.h"
#include "ruv/platform/Strings.h"
#include "ruv/provisioning/Download.h"

namespace ruv::provisioning {
namespace {

constexpr const char* kNiemozliwe = "Niemożliwe było sciągnięcie pliku";

bool BeginsWithLowerHttps(const std::string& url) { return url.compare(0, 5, "https") == 0; }

// Backslashes of the path part travel as slashes; the query and fragment stay as they are.
std::string SlashesInPath(std::string url) {
  const size_t end = std::min(url.find('?'), url.find('#'));
  for (size_t i = 0; i < url.size() && i < end; ++i) {
    if (url[i] == '\\') url[i] = '/';
  }
  return url;
}

}  // namespace

std::optional<std::string> FormatUrl(const std::string& szablon, const std::string& nazwaPliku) {
  std::string out;
  int substituted = 0;
  for (size_t i = 0; i < szablon.size(); ++i) {
    if (szablon[i] != '%') {
      out += szablon[i];
      continue;
    }
    if (i + 1 >= szablon.size()) return std::nullopt;
    const char conversion = szablon[++i];
    if (conversion == '%') {
      out += '%';
    } else if (conversion == 's' && substituted++ == 0) {
      out += nazwaPliku;
    } else {
      return std::nullopt;
    }
  }
  if (substituted != 1) return std::nullopt;
  return out;
}

void downloadToTarget(const std::string& szablonyAdresow, const std::string& nazwaPliku, IDownloadTarget& target,
                      std::int64_t maxBytes, std::stop_token stop) {
  bool zaDuzy = false;
  for (const auto& szablon : strings::SplitDelimitedText(szablonyAdresow)) {
    // A stopped call tries no further template.
    if (stop.stop_requested()) throw Exception(kNiemozliwe);
    const auto url = FormatUrl(szablon, nazwaPliku);
    if (!url) continue;
    try {
      // Each attempt starts from nothing: a failed one leaves nothing in the result.
      target.Begin();
      http::Get(SlashesInPath(*url), BeginsWithLowerHttps(*url), target, maxBytes, stop);
      return;
    } catch (const EBodyTooLarge&) {
      zaDuzy = true;
    } catch (const EIdException&) {
      // The next template is tried; single failures are not reported.
    }
  }
  if (zaDuzy) throw EFileTooLarge(kNiemozliwe);
  throw Exception(kNiemozliwe);
}

namespace {

// A body kept in memory; each attempt starts from an empty one.
class TPobieranieDoPamieci final : public IDownloadTarget {
 public:
  void Begin() override { body_.Take(); }
  void Announced(std::int64_t length) override { body_.Announced(length); }
  void Write(std::string_view bytes) override { body_.Write(bytes); }
  std::string Take() { return body_.Take(); }

 private:
  http::StringSink body_;
};

}  // namespace

TMemoryStream downloadToStream(const std::string& szablonyAdresow, const std::string& nazwaPliku,
                               std::stop_token stop, std::int64_t maxBytes) {
  TPobieranieDoPamieci target;
  downloadToTarget(szablonyAdresow, nazwaPliku, target, maxBytes, std::move(stop));
  TMemoryStream result(target.Take());
  result.Seek(0, TMemoryStream::Origin::End);
  return result;
}

void saveStreamToFile(const TMemoryStream& stream, const std::string& katalog, const std::string& nazwaPliku,
                      int iloscPowtorzen, bool executable) {
  if (stream.Size() == 0) throw Exception("Plik jest pusty");
  if (nazwaPliku.empty()) throw Exception("Nie podano nazwy pliku");
  if (iloscPowtorzen < 1) throw Exception("Podana ilość powtórzeń prób zapisywania pliku jest mniejsza od 1");
  const std::string sciezka = katalog + (!katalog.empty() && katalog.back() == '\\' ? "" : "\\") + nazwaPliku;
  const std::string native = fs::NativePath(sciezka);
  for (int proba = 0; proba <= iloscPowtorzen; ++proba) {
    try {
      fs::WriteFileAtomically(native, stream.View(), executable);
      return;
    } catch (const std::exception&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
  }
  throw Exception(
      "Plik został sciągnięty, ale nie mógł byc zapisany na dysku.\r"
      "Proszę sprawdzić czy nie są otwarte programy które z tego pliku korzystają, i czy użytkownik systemu "
      "operacyjnego ma dostęp do katalogu docelowego:\r" +
      sciezka);
}

}  // namespace ruv::provisioning
