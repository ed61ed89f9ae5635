// Integer and colour texts, colour values and font heights.
#include <array>
#include <cmath>
#include <cstdlib>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Graphics.h"
#include "ruv/platform/Text.h"

namespace ruv::graphics {
namespace {

[[noreturn]] void RaiseNotAnInteger(std::string_view text) {
  throw EConvertError("''" + std::string(text) + "'' is not a valid integer value");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct NamedColor {
  const char* name;
  TColor value;
};

constexpr NamedColor kColorNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
    {"clHotLight", clHotLight},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuBar", clMenuBar},
    {"clNone", clNone},
    {"clDefault", clDefault},
};

// System colours by number, as the classic Windows 98 "Windows Standard" scheme
// sets them (a platform without Windows system colours draws with these).
// Number 25 is not used by the system and reads as black; so does any number
// past the end of the table.
constexpr std::array<TColor, 31> kSystemColors = {
    RGB(192, 192, 192),  //  0 scroll bar
    RGB(0, 128, 128),    //  1 desktop background
    RGB(0, 0, 128),      //  2 active caption
    RGB(128, 128, 128),  //  3 inactive caption
    RGB(192, 192, 192),  //  4 menu
    RGB(255, 255, 255),  //  5 window
    RGB(0, 0, 0),        //  6 window frame
    RGB(0, 0, 0),        //  7 menu text
    RGB(0, 0, 0),        //  8 window text
    RGB(255, 255, 255),  //  9 caption text
    RGB(192, 192, 192),  // 10 active border
    RGB(192, 192, 192),  // 11 inactive border
    RGB(128, 128, 128),  // 12 application workspace
    RGB(0, 0, 128),      // 13 highlight
    RGB(255, 255, 255),  // 14 highlighted text
    RGB(192, 192, 192),  // 15 button face
    RGB(128, 128, 128),  // 16 button shadow
    RGB(128, 128, 128),  // 17 grayed text
    RGB(0, 0, 0),        // 18 button text
    RGB(192, 192, 192),  // 19 inactive caption text
    RGB(255, 255, 255),  // 20 button highlight
    RGB(0, 0, 0),        // 21 3D dark shadow
    RGB(192, 192, 192),  // 22 3D light
    RGB(0, 0, 0),        // 23 tooltip text
    RGB(255, 255, 225),  // 24 tooltip background
    RGB(0, 0, 0),        // 25 (unused)
    RGB(0, 0, 128),      // 26 hot-tracked item
    RGB(16, 132, 208),   // 27 active caption gradient
    RGB(192, 192, 192),  // 28 inactive caption gradient
    RGB(0, 0, 128),      // 29 highlighted menu item (as highlight)
    RGB(192, 192, 192),  // 30 menu bar (as menu)
};

}  // namespace

std::int32_t StrToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::string_view rest = text.substr(i);
  std::uint64_t magnitude = 0;
  if (!rest.empty() && (rest[0] == '$' || rest[0] == 'x' || rest[0] == 'X' ||
                        (rest.size() > 1 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X')))) {
    const std::string_view digits = rest.substr(rest[0] == '0' ? 2 : 1);
    if (digits.empty()) RaiseNotAnInteger(text);
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) RaiseNotAnInteger(text);
      magnitude = magnitude * 16 + static_cast<std::uint64_t>(d);
      if (magnitude > 0xFFFFFFFFu) RaiseNotAnInteger(text);
    }
    // All 32 bits are the value's own: "$FFFFFFFF" is -1.
    const auto bits = static_cast<std::uint32_t>(magnitude);
    return static_cast<std::int32_t>(negative ? 0u - bits : bits);
  }
  if (rest.empty()) RaiseNotAnInteger(text);
  const std::uint64_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
  for (char c : rest) {
    if (c < '0' || c > '9') RaiseNotAnInteger(text);
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    if (magnitude > limit) RaiseNotAnInteger(text);
  }
  return static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                            : static_cast<std::int64_t>(magnitude));
}

TColor StringToColor(std::string_view text) {
  const std::string upper = text::AsciiUpper(text);
  for (const auto& named : kColorNames) {
    if (text::AsciiUpper(named.name) == upper) return named.value;
  }
  return static_cast<TColor>(StrToInt(text));
}

TColor ColorToRGB(TColor color, TColor controlDefault) {
  if (color == clNone) return clWhite;
  if (color == clDefault) return controlDefault == clDefault ? ColorToRGB(clBtnFace) : ColorToRGB(controlDefault);
  if ((color & 0xFF000000u) == kSystemColor) {
    const TColor index = color & 0xFFu;
    return index < kSystemColors.size() ? kSystemColors[index] : clBlack;
  }
  return color & 0x00FFFFFFu;
}

int FontHeightForSize(int size, int pixelsPerInch) {
  const std::int64_t product = static_cast<std::int64_t>(size) * pixelsPerInch;
  // Rounded to the nearest integer, halves away from zero.
  const std::int64_t rounded = (std::llabs(product) + 36) / 72;
  return static_cast<int>(product < 0 ? rounded : -rounded);
}

}  // namespace ruv::graphics
