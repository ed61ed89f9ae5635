#include <gtest/gtest.h>

#include "Fixtures.h"
#include "ruv/platform/Text.h"
#include "ruv/provisioning/Terminals.h"

namespace ruv::provisioning {
namespace {

std::string Utf16(const std::string& utf8, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t u : text::Utf8ToUtf16(utf8)) {
    const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
    bytes += littleEndian ? std::string{lo, hi} : std::string{hi, lo};
  }
  return bytes;
}

// The UTF-8 text in ISO-8859-2 bytes (its Polish letters ą, ś, ź differ from windows-1250).
std::string Iso88592(const std::string& utf8) {
  std::string out;
  for (const char32_t c : text::Utf8ToUtf32(utf8)) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    for (int b = 0xA0; b < 0x100; ++b) {
      const auto decoded = text::DecodeToUtf8("ISO-8859-2", std::string(1, static_cast<char>(b)));
      if (decoded && text::Utf8ToUtf32(*decoded) == std::u32string(1, c)) {
        out.push_back(static_cast<char>(b));
        break;
      }
    }
  }
  return out;
}

std::string Document(const std::string& declaration) {
  return "<?xml version=\"1.0\"" + declaration +
         "?>\n<ruv_virad xmlns=\"http://ruv.local/ruv_virad\">\n"
         "<link>http://ruv.local/pomoc?ąę</link>\n"
         "<terminal><id>Księgowość</id><name>Zażółć gęślą jaźń ŻÓŁĆ</name><access_mode value=\"all\"/></terminal>\n"
         "</ruv_virad>\n";
}

class ConfigurationText : public testing::TerminalsTest {};

TEST_F(ConfigurationText, EveryEncodingYieldsTheSameValues) {
  const std::string utf8 = Document(" encoding=\"UTF-8\"");
  const std::string bom = "\xEF\xBB\xBF";
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"windows-1250 declared", text::Utf8ToAnsi(Document(" encoding=\"windows-1250\""))},
      {"windows-1250 declared in capitals", text::Utf8ToAnsi(Document(" encoding=\"WINDOWS-1250\""))},
      {"windows-1250 undeclared", text::Utf8ToAnsi(Document(""))},
      {"UTF-8 declared", utf8},
      {"UTF-8 declared in lower case, single quotes", Document(" encoding='utf-8'")},
      {"UTF-8 with byte-order mark", bom + utf8},
      {"UTF-8 with byte-order mark, declared windows-1250", bom + Document(" encoding=\"windows-1250\"")},
      {"UTF-8 with byte-order mark, undeclared", bom + Document("")},
      {"UTF-16 LE", Utf16(Document(" encoding=\"UTF-16\""), true)},
      {"UTF-16 BE", Utf16(Document(" encoding=\"UTF-16\""), false)},
      {"UTF-16 LE, undeclared", Utf16(Document(""), true)},
      {"UTF-8 undeclared", Document("")},
      {"UTF-16 LE without byte-order mark", Utf16(Document(" encoding=\"UTF-16\""), true).substr(2)},
      {"UTF-16 BE without byte-order mark", Utf16(Document(" encoding=\"UTF-16\""), false).substr(2)},
      {"ISO-8859-2 declared", Iso88592(Document(" encoding=\"ISO-8859-2\""))},
      {"an encoding the system does not know", text::Utf8ToAnsi(Document(" encoding=\"x-nieznane\""))},
  };
  for (const auto& c : cases) {
    const std::string text = DekodujTekstKonfiguracji(c.bytes);
    ASSERT_NO_THROW(TTerminals::WczytajDane(text)) << c.what;
    EXPECT_EQ(TTerminals::PobierzLinkDoStrony(), "http://ruv.local/pomoc?ąę") << c.what;
    const auto terminal = TTerminals::Konfiguracja()->Get_Terminal()->Get_Item(0);
    EXPECT_EQ(terminal->Get_Name(), "Zażółć gęślą jaźń ŻÓŁĆ") << c.what;
    TTerminals::WczytajDaneTerminala("Księgowość");
    // The per-user copy holds this text; loading it again gives the same.
    TTerminals::WczytajDane(text);
    EXPECT_EQ(TTerminals::Konfiguracja()->Get_Terminal()->Get_Item(0)->Get_Id(), "Księgowość") << c.what;
  }
}

TEST_F(ConfigurationText, LinesAreJoinedWithCrLfAfterEveryLine) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"", ""},
      {"a", "a\r\n"},
      {"a\nb", "a\r\nb\r\n"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\rb\r", "a\r\nb\r\n"},
      {"a\n\nb\n", "a\r\n\r\nb\r\n"},
      {"a\n\r\nb", "a\r\n\r\nb\r\n"},
      {"\n", "\r\n"},
      {std::string("a\nb\0c\nd", 7), "a\r\nb\r\n"},
      {"\xEF\xBB\xBFz\xC5\xBC\n", "zż\r\n"},
      {"\xBF\xF3\xB3w\n", "żółw\r\n"},
      {Utf16("a\nż\r\n", true), "a\r\nż\r\n"},
      {Utf16("a\nż", false), "a\r\nż\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(DekodujTekstKonfiguracji(c.bytes), c.text) << c.bytes;
}

TEST_F(ConfigurationText, MalformedBytesNeverReachTheParserAsMalformedUtf8) {
  // A UTF-8 declaration over windows-1250 bytes: the bad sequences become U+FFFD.
  const std::string text = DekodujTekstKonfiguracji(text::Utf8ToAnsi(Document(" encoding=\"UTF-8\"")));
  ASSERT_NO_THROW(TTerminals::WczytajDane(text));
  EXPECT_NE(TTerminals::Konfiguracja()->Get_Terminal()->Get_Item(0)->Get_Name().find("\xEF\xBF\xBD"),
            std::string::npos);
  // An odd byte at the end of UTF-16 is dropped.
  EXPECT_EQ(DekodujTekstKonfiguracji(Utf16("ab", true) + "x"), "ab\r\n");
}

}  // namespace
}  // namespace ruv::provisioning
