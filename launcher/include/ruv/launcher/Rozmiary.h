#pragma once
// The sizes of the main window's look, which the configuration gives as text
// (btnWidth, btnHeight, margin and topMargin in pixels, textSize and btnTextSize in
// points), and the size of the window laid out from them.
//
// A size the window can draw is a whole number from 0 to kNajwiekszyRozmiar, and so
// is each side of the window's client area (the right-most and the lowest edge of
// its controls plus margin). 4096 is the width of the widest 4K screens: a window or
// button larger than that could not be seen whole on a screen in common use. The
// bound keeps every picture the window draws (a button's, the window's own) under
// 64 MiB, and every sum and product of the layout far from overflowing.

#include <cstdint>
#include <string_view>

namespace ruv {

inline constexpr int kNajwiekszyRozmiar = 4096;

// The size that `tekst`, the configuration's value `nazwa`, gives. A text that is no
// integer raises StrToInt's conversion error; an integer outside 0 to
// kNajwiekszyRozmiar raises EConvertError "Nieprawidłowy rozmiar <nazwa> w pliku
// konfiguracyjnym: "<tekst>". Dozwolone są wartości od 0 do 4096."
int RozmiarOkna(std::string_view nazwa, std::string_view tekst);

// Whether a client area of `szerokosc` x `wysokosc` pixels is one the window can be.
bool RozmiarOknaDozwolony(std::int64_t szerokosc, std::int64_t wysokosc);

// Checks the client area that the layout asks for, `szerokosc` x `wysokosc` pixels
// (computed in 64 bits, so a product of sizes never overflows on its way here).
// Either side past kNajwiekszyRozmiar raises an Exception that names both.
void SprawdzRozmiarOkna(std::int64_t szerokosc, std::int64_t wysokosc);

}  // namespace ruv
