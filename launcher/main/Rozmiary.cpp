#include "ruv/launcher/Rozmiary.h"

#include "ruv/platform/Exception.h"
#include "ruv/platform/Graphics.h"

#include <string>

namespace ruv {

int RozmiarOkna(std::string_view nazwa, std::string_view tekst) {
  const std::int32_t wartosc = graphics::StrToInt(tekst);
  if (wartosc < 0 || wartosc > kNajwiekszyRozmiar) {
    throw EConvertError("Nieprawidłowy rozmiar " + std::string(nazwa) + " w pliku konfiguracyjnym: \"" +
                        std::string(tekst) + "\". Dozwolone są wartości od 0 do " +
                        std::to_string(kNajwiekszyRozmiar) + ".");
  }
  return wartosc;
}

bool RozmiarOknaDozwolony(std::int64_t szerokosc, std::int64_t wysokosc) {
  return szerokosc <= kNajwiekszyRozmiar && wysokosc <= kNajwiekszyRozmiar;
}

void SprawdzRozmiarOkna(std::int64_t szerokosc, std::int64_t wysokosc) {
  if (!RozmiarOknaDozwolony(szerokosc, wysokosc)) {
    const std::string najwiecej = std::to_string(kNajwiekszyRozmiar);
    throw Exception("Okno programu byłoby zbyt duże: " + std::to_string(szerokosc) + " x " +
                    std::to_string(wysokosc) + " pikseli, a dozwolone jest najwyżej " + najwiecej + " x " +
                    najwiecej + ". Proszę zmniejszyć rozmiary przycisków, tekstu lub marginesy w pliku konfiguracyjnym.");
  }
}

}  // namespace ruv
