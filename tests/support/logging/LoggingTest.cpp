#include "ruv/support/Logging.h"

#include "ruv/platform/Exception.h"

#include <gtest/gtest.h>

namespace ruv {
namespace {

TEST(LogLevel, SixLevelsInOrder) {
  InitializeLoggingUnits();
  const std::pair<const char*, int> expected[] = {{"UNDEFINED", -1}, {"FINE", 0},    {"DEBUG", 1},
                                                  {"INFO", 2},       {"WARNING", 3}, {"ERROR", 4}};
  const auto& levels = TLogLevel::Levels();
  ASSERT_EQ(levels.size(), std::size(expected));
  for (std::size_t i = 0; i < levels.size(); ++i) {
    EXPECT_EQ(levels[i]->getName(), expected[i].first);
    EXPECT_EQ(levels[i]->getNumber(), expected[i].second);
    EXPECT_EQ(&TLogLevel::getLevelByNumber(expected[i].second), levels[i]);
    EXPECT_EQ(&TLogLevel::getLevelByName(expected[i].first), levels[i]);
  }
}

TEST(LogLevel, NameLookupFoldsAsciiCaseOnlyAndQuotesTheGivenNameOnFailure) {
  for (const char* name : {"info", "Info", "INFO", "iNfO"}) {
    EXPECT_EQ(TLogLevel::getLevelByName(name).getName(), "INFO") << name;
  }
  for (const char* name : {"INFO ", "INFORMATION", "", "ınfo", "debug\n"}) {
    try {
      TLogLevel::getLevelByName(name);
      ADD_FAILURE() << "found a level for '" << name << "'";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), std::string("Undefinied level with name \"") + name + "\"");
    }
  }
}

TEST(LogLevel, NumberLookupFailsOutsideTheTable) {
  EXPECT_EQ(TLogLevel::getLevelByNumber(-1).getName(), "UNDEFINED");
  for (int number : {5, -2, 2147483647}) {
    try {
      TLogLevel::getLevelByNumber(number);
      ADD_FAILURE() << number;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Undefinied level with number \"" + std::to_string(number) + "\"");
    }
  }
}

TEST(LogMessageComponent, TenSharedTokensWithTheirPlaceholders) {
  const std::pair<const char*, const char*> expected[] = {
      {"[rok]", "%0:s"},     {"[miesiac]", "%1:s"}, {"[dzien]", "%2:s"},
      {"[godzina]", "%3:s"}, {"[minuta]", "%4:s"},  {"[sekunda]", "%5:s"},
      {"[ms]", "%6:s"},      {"[poziom]", "%7:s"},  {"[komunikat]", "%8:s"},
      {"[ileCzasuMineloOdPoprzedniegoWpisuMs]", "%9:s"}};
  const auto first = TLogMessageComponent::zwrocListeWartosci();
  const auto second = TLogMessageComponent::zwrocListeWartosci();
  ASSERT_EQ(first.size(), 10u);
  EXPECT_EQ(first, second) << "the same instances every time";
  EXPECT_NE(&first, &second);
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i]->zwrocTekst(), expected[i].first);
    EXPECT_EQ(first[i]->zwrocTekstFormatowania(), expected[i].second);
  }
}

TEST(ProgramContext, TheRegistryStartsEmpty) {
  InitializeLoggingUnits();
  EXPECT_TRUE(ProgramContextManagers().empty());
}

}  // namespace
}  // namespace ruv
