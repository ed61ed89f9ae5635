#include "ruv/platform/Strings.h"

#include <gtest/gtest.h>

namespace ruv::strings {
namespace {

using Items = std::vector<std::string>;

struct Case {
  std::string text;
  Items items;
};

TEST(SplitDelimitedText, NonStrictRules) {
  const Case cases[] = {
      {"", {}},
      {"   \t\r\n", {}},
      {"a", {"a"}},
      {"a;b", {"a", "b"}},
      {"  a ; b  ", {"a", "b"}},
      {"a b", {"a", "b"}},
      {"a \t\r\n b", {"a", "b"}},
      {"http://x/%s;http://y/a b/%s", {"http://x/%s", "http://y/a", "b/%s"}},
      {"a;;b", {"a", "", "b"}},
      {"a ; ; b", {"a", "", "b"}},
      {";a", {"", "a"}},
      {"a;", {"a", ""}},
      {"a; ", {"a"}},
      {";", {"", ""}},
      {";;", {"", "", ""}},
      {"\"a b\";c", {"a b", "c"}},
      {"\"a;b\"", {"a;b"}},
      {"\"a\"\"b\"", {"a\"b"}},
      {"\"\"", {""}},
      {"\"\";x", {"", "x"}},
      {"\"ab\"cd", {"ab", "cd"}},
      {"a\"b c\"", {"a\"b", "c\""}},
      {"\"open a;b", {"open a;b"}},
      {"x;\"", {"x", ""}},
      {std::string("a\0b", 3), {"a"}},
      {"zażółć;ł", {"zażółć", "ł"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitDelimitedText(c.text), c.items) << "text: [" << c.text << "]";
  }
}

TEST(SplitDelimitedText, OtherDelimiterAndQuote) {
  EXPECT_EQ(SplitDelimitedText("a,'b,c' d", ',', '\''), (Items{"a", "b,c", "d"}));
  EXPECT_EQ(SplitDelimitedText("a;b", ',', '\''), (Items{"a;b"}));
}

}  // namespace
}  // namespace ruv::strings
