#pragma once
// TPlik: the static class over the selected file description (see Terminals.h).

#include <memory>
#include <string>

#include "ruv/config/XMLBinding.h"

namespace ruv::provisioning {

class TPlik {
 public:
  TPlik() = delete;
  static void WczytajDane(config::IXMLFileTypePtr dane);
  static config::IXMLFileTypePtr DanePliku();

  static std::string PobierzNazwe();
  static std::string PobierzSciezkeDocelowa();
  static std::string PobierzHashPliku();
  // target_path + "\" + name, or name alone when target_path is empty.
  static std::string PobierzPelnaNazwe();
  // The local copy's "FileVersion", or "" when it cannot be read.
  static std::string PobierzWersjeLokalnegoPliku();
  // Fetches the file over the URL templates and writes it under its full name.
  static void download();
  static void UtworzSciezkeDocelowa();
  static void UsunSciezkeDocelowa();
};

}  // namespace ruv::provisioning
