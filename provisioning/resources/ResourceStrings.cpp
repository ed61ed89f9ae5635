#include "ruv/provisioning/ResourceStrings.h"

#include <mutex>

#include "UrlTemplates.h"

namespace ruv::resources {
namespace {
std::mutex g_override_mutex;
std::optional<std::string> g_override;
}  // namespace

std::string SzablonyAdresow() {
  std::lock_guard lock(g_override_mutex);
  return g_override ? *g_override : std::string(kUrlTemplates);
}

void SetUrlTemplatesForTesting(std::optional<std::string> templates) {
  std::lock_guard lock(g_override_mutex);
  g_override = std::move(templates);
}

std::string NazwaProgramu() { return "ruv_virad"; }
std::string NazwaPlikuProgramu() { return "ruv_virad.exe"; }
std::string NazwaProgramuPobierajacego() { return "ruv_virad_downloader.exe"; }

std::string KomunikatNowszaWersjaTerminala() {
  return "Znaleziono nowszą wersję terminala. Nastąpi próba pobrania odpowiednich plików.";
}

std::string KomunikatBrakInformacjiOBibliotece() { return "Nie znaleziono informacji o bibliotece"; }

}  // namespace ruv::resources
