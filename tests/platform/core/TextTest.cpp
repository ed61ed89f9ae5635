#include "ruv/platform/Text.h"
#include "ruv/platform/Exception.h"

#include <gtest/gtest.h>

namespace ruv::text {
namespace {

TEST(AnsiText, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(AnsiText, PolishLettersAndPunctuation) {
  // "Zażółć gęślą jaźń" and the euro sign, as Windows-1250 bytes.
  const std::string ansi = "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1 \x80";
  const std::string utf8 = "Zażółć gęślą jaźń €";
  EXPECT_EQ(AnsiToUtf8(ansi), utf8);
  EXPECT_EQ(Utf8ToAnsi(utf8), ansi);
  EXPECT_TRUE(IsRepresentableInAnsi(utf8));
}

TEST(AnsiText, UndefinedBytesBecomeC1CodePoints) {
  EXPECT_EQ(AnsiToUtf8("\x81\x83\x88\x90\x98"), "\u0081\u0083\u0088\u0090\u0098");
}

TEST(AnsiText, UnrepresentableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi("a\u4E2Db\xFF"), "a?b?");  // CJK character, malformed byte
  EXPECT_FALSE(IsRepresentableInAnsi("\u4E2D"));
  EXPECT_FALSE(IsRepresentableInAnsi("ñ"));  // Latin-1 but not Windows-1250
}

TEST(Utf16Text, RoundTripIncludingSurrogatePairs) {
  const std::string utf8 = "żółw \U0001F600";
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
  EXPECT_EQ(Utf8ToUtf16(utf8).size(), 7u);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', char16_t{0xD800}, u'b'}), "a\uFFFDb");
}

TEST(AsciiUpper, OnlyAsciiLettersChange) {
  EXPECT_EQ(AsciiUpper("info ż"), "INFO ż");
}

TEST(Exceptions, RaiseEmptyKeepsTheClass) {
  const EIdSocketError original("connection refused");
  try {
    original.RaiseEmptyOfSameClass();
  } catch (const EIdSocketError& e) {
    EXPECT_EQ(e.Message(), "");
    EXPECT_STREQ(e.ClassName(), "EIdSocketError");
    return;
  }
  FAIL() << "not raised as EIdSocketError";
}

}  // namespace
}  // namespace ruv::text
