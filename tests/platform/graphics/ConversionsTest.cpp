#include <gtest/gtest.h>

#include <set>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Graphics.h"
#include "ruv/platform/Text.h"

namespace ruv::graphics {
namespace {

std::string ConvertErrorOf(std::string_view text, bool asColor) {
  try {
    if (asColor) {
      StringToColor(text);
    } else {
      StrToInt(text);
    }
  } catch (const EConvertError& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST(StrToInt, AcceptedForms) {
  struct Case {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"0", 0},
      {"123", 123},
      {"   42", 42},
      {"+7", 7},
      {"-7", -7},
      {"007", 7},
      {"$1F", 31},
      {"x1f", 31},
      {"X1F", 31},
      {"0x1F", 31},
      {"0X1f", 31},
      {" -$10", -16},
      {"$00000000FF", 255},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToInt(c.text), c.value) << c.text;
  }
}

TEST(StrToInt, EverythingElseIsAConversionError) {
  for (const char* text : {"", " ", "12 ", "1.5", "abc", "$", "0x", "x", "+", "-", "--1", "+-1", "\t5",
                           "1e3", "0x-1", "$ 1", "5x", "$1G", "2147483648", "-2147483649",
                           "$100000000", "99999999999999999999", "0x0x1"}) {
    EXPECT_EQ(ConvertErrorOf(text, false), "''" + std::string(text) + "'' is not a valid integer value");
  }
}

TEST(StringToColor, IdentifiersInAnyCaseThenIntegers) {
  struct Case {
    const char* text;
    TColor value;
  } cases[] = {
      // Every identifier, with its red, green and blue or its system colour number.
      {"clBlack", RGB(0, 0, 0)}, {"clMaroon", RGB(128, 0, 0)}, {"clGreen", RGB(0, 128, 0)},
      {"clOlive", RGB(128, 128, 0)}, {"clNavy", RGB(0, 0, 128)}, {"clPurple", RGB(128, 0, 128)},
      {"clTeal", RGB(0, 128, 128)}, {"clGray", RGB(128, 128, 128)}, {"clSilver", RGB(192, 192, 192)},
      {"clRed", RGB(255, 0, 0)}, {"clLime", RGB(0, 255, 0)}, {"clYellow", RGB(255, 255, 0)},
      {"clBlue", RGB(0, 0, 255)}, {"clFuchsia", RGB(255, 0, 255)}, {"clAqua", RGB(0, 255, 255)},
      {"clWhite", RGB(255, 255, 255)}, {"clMoneyGreen", RGB(192, 220, 192)},
      {"clSkyBlue", RGB(166, 202, 240)}, {"clCream", RGB(255, 251, 240)},
      {"clMedGray", RGB(160, 160, 164)},
      {"clScrollBar", 0xFF000000}, {"clBackground", 0xFF000001}, {"clActiveCaption", 0xFF000002},
      {"clInactiveCaption", 0xFF000003}, {"clMenu", 0xFF000004}, {"clWindow", 0xFF000005},
      {"clWindowFrame", 0xFF000006}, {"clMenuText", 0xFF000007}, {"clWindowText", 0xFF000008},
      {"clCaptionText", 0xFF000009}, {"clActiveBorder", 0xFF00000A}, {"clInactiveBorder", 0xFF00000B},
      {"clAppWorkSpace", 0xFF00000C}, {"clHighlight", 0xFF00000D}, {"clHighlightText", 0xFF00000E},
      {"clBtnFace", 0xFF00000F}, {"clBtnShadow", 0xFF000010}, {"clGrayText", 0xFF000011},
      {"clBtnText", 0xFF000012}, {"clInactiveCaptionText", 0xFF000013}, {"clBtnHighlight", 0xFF000014},
      {"cl3DDkShadow", 0xFF000015}, {"cl3DLight", 0xFF000016}, {"clInfoText", 0xFF000017},
      {"clInfoBk", 0xFF000018}, {"clHotLight", 0xFF00001A}, {"clGradientActiveCaption", 0xFF00001B},
      {"clGradientInactiveCaption", 0xFF00001C}, {"clMenuHighlight", 0xFF00001D},
      {"clMenuBar", 0xFF00001E}, {"clNone", clNone}, {"clDefault", clDefault},
  };
  std::set<std::string> names;
  for (const auto& c : cases) {
    names.insert(c.text);
    EXPECT_EQ(StringToColor(c.text), c.value) << c.text;
    EXPECT_EQ(StringToColor(text::AsciiUpper(c.text)), c.value) << c.text;
  }
  EXPECT_EQ(names.size(), 52u);
  EXPECT_EQ(StringToColor("CLbTNfACE"), clBtnFace);
  EXPECT_EQ(StringToColor("255"), clRed);
  EXPECT_EQ(StringToColor("$FF0000"), clBlue);
  EXPECT_EQ(StringToColor("$FF000012"), clBtnText);
  EXPECT_EQ(StringToColor("-1"), 0xFFFFFFFFu);
  for (const char* bad : {"", "clRedd", "red", " clRed", "clRed ", "Red", "#FF0000"}) {
    EXPECT_EQ(ConvertErrorOf(bad, true), "''" + std::string(bad) + "'' is not a valid integer value");
  }
}

TEST(ColorToRGB, SystemAndSpecialColours) {
  struct Case {
    TColor color;
    TColor controlDefault;
    TColor rgb;
  } cases[] = {
      {clRed, clBtnFace, clRed},
      {RGB(1, 2, 3), clBtnFace, RGB(1, 2, 3)},
      {0x02123456u, clBtnFace, 0x123456u},  // a foreign highest byte is dropped
      {clBtnFace, clBtnFace, RGB(192, 192, 192)},
      {clWindow, clBtnFace, RGB(255, 255, 255)},
      {clWindowText, clBtnFace, RGB(0, 0, 0)},
      {clBtnText, clBtnFace, RGB(0, 0, 0)},
      {clHighlight, clBtnFace, RGB(0, 0, 128)},
      {clInfoBk, clBtnFace, RGB(255, 255, 225)},
      {clMenuBar, clBtnFace, RGB(192, 192, 192)},
      {0xFF000019u, clBtnFace, clBlack},  // the unused system colour number
      {0xFF0000FFu, clBtnFace, clBlack},  // past the last system colour
      {clNone, clBtnFace, clWhite},
      {clDefault, clBtnFace, RGB(192, 192, 192)},
      {clDefault, clWindow, RGB(255, 255, 255)},
      {clDefault, clRed, clRed},
      {clDefault, clDefault, RGB(192, 192, 192)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ColorToRGB(c.color, c.controlDefault), c.rgb) << std::hex << c.color;
  }
  EXPECT_EQ(ColorToRGB(clDefault), ColorToRGB(clBtnFace));
}

TEST(FontHeight, MinusPointsTimesPixelsPerInchOver72Rounded) {
  struct Case {
    int size, ppi, height;
  } cases[] = {
      {8, 96, -11}, {9, 96, -12}, {10, 96, -13}, {12, 96, -16}, {9, 120, -15},
      {3, 12, -1},  // exactly one half rounds away from zero
      {1, 30, 0},   {0, 96, 0},   {72, 96, -96},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FontHeightForSize(c.size, c.ppi), c.height) << c.size << "pt at " << c.ppi;
  }
}

}  // namespace
}  // namespace ruv::graphics
