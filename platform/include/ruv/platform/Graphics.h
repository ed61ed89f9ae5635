#pragma once
// Graphics services of the main window: integer and colour texts, colour values,
// font heights, and bitmaps loaded from Windows BMP files.
//
// This header does not pull in Qt. The bitmap's picture is a QImage, which only
// drawing code (linked with Qt) looks at; a build without Qt has the conversions
// but loads no bitmaps.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class QImage;

namespace ruv::graphics {

// Integer text: optional leading blanks, an optional sign, then decimal digits, or
// hexadecimal digits after "$", "x", "X", "0x" or "0X"; nothing may follow. A decimal
// value must lie in the signed 32-bit range; a hexadecimal one may use all 32 bits
// ("$FFFFFFFF" is -1) and is negated after a "-". Anything else, an empty text
// included, raises EConvertError "''<text>'' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

// A colour value: red in the lowest byte, green in the next, blue in the third.
// A value whose highest byte is 255 is the system colour whose number is in the
// lowest byte.
using TColor = std::uint32_t;

// Builds an RGB colour value.
constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return TColor{r} | (TColor{g} << 8) | (TColor{b} << 16);
}
constexpr std::uint8_t GetRValue(TColor c) { return static_cast<std::uint8_t>(c); }
constexpr std::uint8_t GetGValue(TColor c) { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t GetBValue(TColor c) { return static_cast<std::uint8_t>(c >> 16); }

inline constexpr TColor clBlack = RGB(0, 0, 0);
inline constexpr TColor clMaroon = RGB(128, 0, 0);
inline constexpr TColor clGreen = RGB(0, 128, 0);
inline constexpr TColor clOlive = RGB(128, 128, 0);
inline constexpr TColor clNavy = RGB(0, 0, 128);
inline constexpr TColor clPurple = RGB(128, 0, 128);
inline constexpr TColor clTeal = RGB(0, 128, 128);
inline constexpr TColor clGray = RGB(128, 128, 128);
inline constexpr TColor clSilver = RGB(192, 192, 192);
inline constexpr TColor clRed = RGB(255, 0, 0);
inline constexpr TColor clLime = RGB(0, 255, 0);
inline constexpr TColor clYellow = RGB(255, 255, 0);
inline constexpr TColor clBlue = RGB(0, 0, 255);
inline constexpr TColor clFuchsia = RGB(255, 0, 255);
inline constexpr TColor clAqua = RGB(0, 255, 255);
inline constexpr TColor clWhite = RGB(255, 255, 255);
inline constexpr TColor clMoneyGreen = RGB(192, 220, 192);
inline constexpr TColor clSkyBlue = RGB(166, 202, 240);
inline constexpr TColor clCream = RGB(255, 251, 240);
inline constexpr TColor clMedGray = RGB(160, 160, 164);

inline constexpr TColor kSystemColor = 0xFF000000u;
inline constexpr TColor clScrollBar = kSystemColor | 0;
inline constexpr TColor clBackground = kSystemColor | 1;
inline constexpr TColor clActiveCaption = kSystemColor | 2;
inline constexpr TColor clInactiveCaption = kSystemColor | 3;
inline constexpr TColor clMenu = kSystemColor | 4;
inline constexpr TColor clWindow = kSystemColor | 5;
inline constexpr TColor clWindowFrame = kSystemColor | 6;
inline constexpr TColor clMenuText = kSystemColor | 7;
inline constexpr TColor clWindowText = kSystemColor | 8;
inline constexpr TColor clCaptionText = kSystemColor | 9;
inline constexpr TColor clActiveBorder = kSystemColor | 10;
inline constexpr TColor clInactiveBorder = kSystemColor | 11;
inline constexpr TColor clAppWorkSpace = kSystemColor | 12;
inline constexpr TColor clHighlight = kSystemColor | 13;
inline constexpr TColor clHighlightText = kSystemColor | 14;
inline constexpr TColor clBtnFace = kSystemColor | 15;
inline constexpr TColor clBtnShadow = kSystemColor | 16;
inline constexpr TColor clGrayText = kSystemColor | 17;
inline constexpr TColor clBtnText = kSystemColor | 18;
inline constexpr TColor clInactiveCaptionText = kSystemColor | 19;
inline constexpr TColor clBtnHighlight = kSystemColor | 20;
inline constexpr TColor cl3DDkShadow = kSystemColor | 21;
inline constexpr TColor cl3DLight = kSystemColor | 22;
inline constexpr TColor clInfoText = kSystemColor | 23;
inline constexpr TColor clInfoBk = kSystemColor | 24;
inline constexpr TColor clHotLight = kSystemColor | 26;
inline constexpr TColor clGradientActiveCaption = kSystemColor | 27;
inline constexpr TColor clGradientInactiveCaption = kSystemColor | 28;
inline constexpr TColor clMenuHighlight = kSystemColor | 29;
inline constexpr TColor clMenuBar = kSystemColor | 30;

// No colour, and the control's default colour.
inline constexpr TColor clNone = 0x1FFFFFFFu;
inline constexpr TColor clDefault = 0x20000000u;

// Colour text: one of the 52 identifiers above ("clRed", "clBtnFace", "clNone", ...)
// in any letter case; otherwise an integer text (see StrToInt) taken as the value
// itself. Raises EConvertError as StrToInt does.
TColor StringToColor(std::string_view text);

// The RGB value to draw a colour with.
// - An RGB colour is itself (a nonzero highest byte other than the cases below is
//   dropped, keeping the red, green and blue bytes).
// - A system colour takes the classic Windows "Windows Standard" scheme value (see
//   the table in Graphics.cpp); an unknown system colour number gives black, as the
//   system does.
// - clDefault is the control's default colour, given as `controlDefault` (itself
//   resolved; by default clBtnFace, the default colour of windows and controls).
// - clNone has no colour of its own: whatever is painted with it shows the freshly
//   cleared, white, surface beneath, so it resolves to white.
TColor ColorToRGB(TColor color, TColor controlDefault = clBtnFace);

// The font height in the platform's convention for a size in points: negative,
// minus size x pixelsPerInch / 72, rounded to the nearest integer (halves away from zero).
int FontHeightForSize(int size, int pixelsPerInch);

// A bitmap picture, loaded from a Windows BMP file.
class TBitmap {
 public:
  TBitmap();
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  // Loads a Windows BMP file (it starts with "BM"). Any other format (PNG, an icon
  // file, garbage) and a damaged or truncated BMP raise EInvalidGraphic, whatever
  // pixel-data offset its header declares; a file that cannot be opened or read
  // raises EInOutError. On failure the bitmap keeps its previous picture.
  // Every pixel of a loaded picture is defined: an indexed picture has an entry for
  // every index (those past the file's colour table are black), and the pixels that
  // the runs of a compressed bitmap skip are its first colour.
  void LoadFromFile(const std::string& fileName);

  int Width() const;
  int Height() const;
  bool Empty() const;
  // The picture, for drawing. Empty until a file has been loaded.
  const QImage& Image() const;

 private:
  struct Picture;
  std::unique_ptr<Picture> picture_;
};

}  // namespace ruv::graphics
