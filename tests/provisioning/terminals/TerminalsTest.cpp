#include "ruv/provisioning/Terminals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>

#include "Fixtures.h"
#include "ruv/platform/Exception.h"
#include "ruv/provisioning/FileVersion.h"
#include "ruv/provisioning/LocalAddresses.h"

namespace ruv::provisioning {
namespace {

using testing::Access;
using testing::Config;
using testing::Network;
using testing::Terminal;
using Ids = std::vector<std::string>;

// Replaces the machine's addresses and counts the lookups.
class FixedAddresses {
 public:
  explicit FixedAddresses(std::optional<Ids> addresses) {
    SetLocalAddressLookup([addresses, this]() -> std::optional<Ids> {
      ++lookups_;
      return addresses;
    });
  }
  ~FixedAddresses() { SetLocalAddressLookup(nullptr); }
  int Lookups() const { return lookups_; }

 private:
  std::atomic<int> lookups_{0};
};

template <class F>
std::string ErrorOf(F&& f, std::string* className = nullptr) {
  try {
    f();
  } catch (const Exception& e) {
    if (className) *className = e.ClassName();
    return e.Message();
  }
  return "<no error>";
}

class Queries : public testing::TerminalsTest {};

TEST_F(Queries, OfferedTerminalsInsideEveryOutsideOnlyExactlyAll) {
  const std::string terminals = Terminal("kasa", Access("all")) + Terminal("magazyn", Access("local")) +
                                Terminal("duze", Access("All")) + Terminal("blank", Access(" all")) +
                                Terminal("pusty", Access("")) + Terminal("brak", "") +
                                Terminal("kasa", Access("all"));
  TTerminals::WczytajDane(Config(Network("255.255.255.0", "10.1.2.0") + terminals));
  const Ids everyone{"kasa", "magazyn", "duze", "blank", "pusty", "brak", "kasa"};
  const Ids onlyAll{"kasa", "kasa"};
  const struct {
    const char* what;
    std::optional<Ids> addresses;
    Ids offered;
  } cases[] = {
      {"inside", Ids{"10.1.2.77"}, everyone},
      {"outside", Ids{"10.1.3.77"}, onlyAll},
      {"one of several matches", Ids{"172.16.0.1", "10.1.2.1"}, everyone},
      {"lookup failed", std::nullopt, onlyAll},
      {"no address", Ids{}, onlyAll},
  };
  for (const auto& c : cases) {
    FixedAddresses addresses(c.addresses);
    EXPECT_EQ(TTerminals::PobierzListeIdentyfikatorowTerminali(), c.offered) << c.what;
    // The network check runs once for every terminal.
    EXPECT_EQ(addresses.Lookups(), 7) << c.what;
  }
}

TEST_F(Queries, WithoutTerminalsTheNetworkCheckNeverRunsAndEverySelectionFails) {
  TTerminals::WczytajDane(Config(Network("bad", "bad")));
  FixedAddresses addresses(Ids{"10.0.0.1"});
  EXPECT_EQ(TTerminals::PobierzListeIdentyfikatorowTerminali(), Ids{});
  EXPECT_EQ(addresses.Lookups(), 0);
  EXPECT_EQ(ErrorOf([] { TTerminals::WczytajDaneTerminala("kasa"); }),
            "Terminal o identyfikatorze \"kasa\" nie został opisany w pliku konfiguracyjnym");
}

TEST_F(Queries, AMalformedNetworkEndsTheOfferedList) {
  TTerminals::WczytajDane(Config(Network("255.0.255.0", "10.0.0.0") + Terminal("kasa", Access("all"))));
  FixedAddresses addresses(Ids{"10.0.0.1"});
  std::string cls;
  EXPECT_EQ(ErrorOf([] { TTerminals::PobierzListeIdentyfikatorowTerminali(); }, &cls), "Invalid network mask.");
  EXPECT_EQ(cls, "EIdException");
}

TEST_F(Queries, SelectionIsExactAndTakesTheFirstOfEqualIdentifiers) {
  TTerminals::WczytajDane(Config(Terminal("kasa", Access("all"), "<version>1</version>") +
                                 Terminal("kasa", Access("all"), "<version>2</version>") +
                                 Terminal("Ωmega", Access("all"))));
  TTerminals::WczytajDaneTerminala("kasa");
  EXPECT_EQ(TTerminal::DaneTerminala()->Get_Version(), "1");
  // Text is Unicode throughout: an identifier outside windows-1250 is selectable.
  TTerminals::WczytajDaneTerminala("Ωmega");
  EXPECT_EQ(TTerminal::DaneTerminala()->Get_Id(), "Ωmega");
  for (const std::string id : {"Kasa", "kasa ", " kasa", "", "nieznany"}) {
    EXPECT_EQ(ErrorOf([&] { TTerminals::WczytajDaneTerminala(id); }),
              "Terminal o identyfikatorze \"" + id + "\" nie został opisany w pliku konfiguracyjnym");
    EXPECT_EQ(TTerminal::DaneTerminala()->Get_Id(), "Ωmega") << "a failed selection keeps the current terminal";
  }
}

TEST_F(Queries, LookAndFeelValuesAndTheirNullError) {
  const struct Getter {
    const char* element;
    std::string (*get)();
  } getters[] = {
      {"clForm", TTerminals::PobierzClForm},           {"clText", TTerminals::PobierzClText},
      {"clLink", TTerminals::PobierzClLink},           {"clBtnNormal", TTerminals::PobierzClBtnNormal},
      {"clBtnHighlight", TTerminals::PobierzClBtnHighlight}, {"clBtnText", TTerminals::PobierzClBtnText},
      {"clBtnFrame", TTerminals::PobierzClBtnFrame},   {"textSize", TTerminals::PobierzTextSize},
      {"btnTextSize", TTerminals::PobierzBtnTextSize}, {"margin", TTerminals::PobierzMargin},
      {"topMargin", TTerminals::PobierzTopMargin},     {"btnWidth", TTerminals::PobierzBtnWidth},
      {"btnHeight", TTerminals::PobierzBtnHeight},
  };
  std::string present, withoutValue, emptyValue;
  for (const auto& g : getters) {
    present += "<" + std::string(g.element) + " value=\"v_" + g.element + "\"/>";
    withoutValue += "<" + std::string(g.element) + "/>";
    emptyValue += "<" + std::string(g.element) + " value=\"\"/>";
  }
  TTerminals::WczytajDane(Config(present + "<admin_email>admin@ruv.local</admin_email><link>http://ruv.local/</link>"));
  for (const auto& g : getters) EXPECT_EQ(g.get(), std::string("v_") + g.element);
  EXPECT_EQ(TTerminals::PobierzEmailAdministratora(), "admin@ruv.local");
  EXPECT_EQ(TTerminals::PobierzLinkDoStrony(), "http://ruv.local/");

  TTerminals::WczytajDane(Config(emptyValue));
  for (const auto& g : getters) EXPECT_EQ(g.get(), "") << g.element;
  EXPECT_EQ(TTerminals::PobierzEmailAdministratora(), "");
  EXPECT_EQ(TTerminals::PobierzLinkDoStrony(), "");

  for (const std::string& children : {withoutValue, std::string()}) {
    TTerminals::WczytajDane(Config(children));
    for (const auto& g : getters) {
      std::string cls;
      EXPECT_EQ(ErrorOf(g.get, &cls), "Could not convert variant of type (Null) into type (String)") << g.element;
      EXPECT_EQ(cls, "EVariantTypeCastError");
    }
  }
}

TEST_F(Queries, LibraryLookupIsExactAndFirst) {
  auto dll = [](const std::string& name, const std::string& version) {
    return "<dll><name>" + name + "</name><version>" + version + "</version></dll>";
  };
  TTerminals::WczytajDane(Config(dll("druk", "1") + dll("baza", "2") + dll("druk", "3")));
  ASSERT_NE(TTerminals::PobierzDll("druk"), nullptr);
  EXPECT_EQ(TTerminals::PobierzDll("druk")->Get_Version(), "1");
  EXPECT_EQ(TTerminals::PobierzDll("baza")->Get_Version(), "2");
  for (const std::string miss : {"Druk", "druk ", "", "brak"}) EXPECT_EQ(TTerminals::PobierzDll(miss), nullptr) << miss;
}

TEST_F(Queries, NothingLoadedYet) {
  EXPECT_EQ(TTerminals::Konfiguracja(), nullptr);
  EXPECT_EQ(ErrorOf([] { TTerminals::PobierzListeIdentyfikatorowTerminali(); }), "Konfiguracja nie została wczytana");
  EXPECT_EQ(ErrorOf([] { TTerminals::PobierzDll("x"); }), "Konfiguracja nie została wczytana");
}

// ---- the client network check ----

class NetworkCheck : public testing::TerminalsTest {};

TEST_F(NetworkCheck, EveryElementAndAddressIsExamined) {
  const Ids here{"10.1.2.200"};
  const struct {
    const char* what;
    std::string networks;
    std::optional<Ids> addresses;
    std::string expected;  // "true", "false" or the error message
  } cases[] = {
      {"no network", "", here, "false"},
      {"mask of zeros admits all", Network("0.0.0.0", "1.2.3.4"), Ids{"9.9.9.9"}, "true"},
      {"24-bit mask, host bits of ip ignored", Network("255.255.255.0", "10.1.2.5"), here, "true"},
      {"24-bit mask, third byte differs", Network("255.255.255.0", "10.1.3.5"), here, "false"},
      {"32-bit mask admits only the ip", Network("255.255.255.255", "10.1.2.200"), here, "true"},
      {"32-bit mask, another address", Network("255.255.255.255", "10.1.2.201"), here, "false"},
      {"blanks around the parts", Network(" 255 . 255 .255. 0 ", " 10. 1 .2 .0"), here, "true"},
      {"one of several addresses", Network("255.255.0.0", "192.168.0.0"), Ids{"10.0.0.1", "192.168.7.7"}, "true"},
      {"lookup failed", Network("0.0.0.0", "0.0.0.0"), std::nullopt, "false"},
      {"interrupted mask", Network("255.0.255.0", "10.0.0.0"), here, "Invalid network mask."},
      {"three parts", Network("255.255.255.0", "10.1.2"), here,
       "The string 10.1.2 does not translate into a valid IP."},
      {"part above 255", Network("255.255.255.0", "10.1.300.0"), here,
       "The string 10.1.300.0 does not translate into a valid IP."},
      {"mask absent", "<network ip=\"10.1.2.0\"/>", here, "The string  does not translate into a valid IP."},
      {"mask before ip", Network("x", "y"), here, "The string x does not translate into a valid IP."},
      {"first matches, second malformed", Network("255.255.255.0", "10.1.2.0") + Network("255.255.255.0", "bad"),
       here, "The string bad does not translate into a valid IP."},
      {"first malformed, second matches", Network("1.2.3", "10.1.2.0") + Network("255.255.255.0", "10.1.2.0"), here,
       "The string 1.2.3 does not translate into a valid IP."},
  };
  for (const auto& c : cases) {
    TTerminals::WczytajDane(Config(c.networks));
    FixedAddresses addresses(c.addresses);
    std::string cls;
    std::string got;
    try {
      got = TTerminals::restrictedAccess() ? "true" : "false";
    } catch (const Exception& e) {
      got = e.Message();
      cls = e.ClassName();
    }
    EXPECT_EQ(got, c.expected) << c.what;
    if (!cls.empty()) {
      EXPECT_EQ(cls, "EIdException") << c.what;
    }
  }
}

TEST_F(NetworkCheck, OneFreshReadingServesEveryElementOfACheck) {
  TTerminals::WczytajDane(Config(Network("255.0.0.0", "10.0.0.0") + Network("255.0.0.0", "11.0.0.0") +
                                 Network("255.0.0.0", "12.0.0.0")));
  {
    FixedAddresses addresses(Ids{"12.0.0.1"});  // only the last element matches
    EXPECT_TRUE(TTerminals::restrictedAccess());
    EXPECT_EQ(addresses.Lookups(), 1);
    EXPECT_TRUE(TTerminals::restrictedAccess());
    EXPECT_EQ(addresses.Lookups(), 2);  // the next check reads again
  }
  {
    // Addresses that change between checks are seen by the next one.
    FixedAddresses addresses(Ids{"13.0.0.1"});
    EXPECT_FALSE(TTerminals::restrictedAccess());
  }
  // Without an element nothing is read.
  TTerminals::WczytajDane(Config(""));
  FixedAddresses addresses(Ids{"10.0.0.1"});
  EXPECT_FALSE(TTerminals::restrictedAccess());
  EXPECT_EQ(addresses.Lookups(), 0);
}

// ---- loading and the life of the elements ----

class Loading : public testing::TerminalsTest {};

TEST_F(Loading, AFailedLoadKeepsTheEarlierConfiguration) {
  TTerminals::WczytajDane(Config(Terminal("kasa", Access("all")), " prog_version=\"1\""));
  const auto before = TTerminals::Konfiguracja();
  const struct {
    const char* what;
    std::string text;
    std::string message;  // empty: any parser message
  } cases[] = {
      {"malformed", "<ruv_virad xmlns=\"http://ruv.local/ruv_virad\"><terminal>", ""},
      {"html", "<html><body><p>Błąd 502<br></body></html>", ""},
      {"empty", "", ""},
      {"another root", "<inny xmlns=\"http://ruv.local/ruv_virad\"/>", "Interface not supported"},
      {"another namespace", "<ruv_virad xmlns=\"http://example.org/\"/>", "Interface not supported"},
  };
  for (const auto& c : cases) {
    const std::string m = ErrorOf([&] { TTerminals::WczytajDane(c.text); });
    EXPECT_NE(m, "<no error>") << c.what;
    if (!c.message.empty()) {
      EXPECT_EQ(m, c.message) << c.what;
    }
    EXPECT_EQ(TTerminals::Konfiguracja(), before) << c.what;
    FixedAddresses addresses(Ids{});
    EXPECT_EQ(TTerminals::PobierzListeIdentyfikatorowTerminali(), Ids{"kasa"}) << c.what;
  }
}

TEST_F(Loading, ElementsOfAnEarlierConfigurationStayUsableAndAreReleasedAtTheEnd) {
  TTerminals::WczytajDane(Config(Terminal("stary", Access("all"), "<exe_file><name>stary.exe</name></exe_file>")));
  TTerminals::WczytajDaneTerminala("stary");
  const std::weak_ptr<config::IXMLTerminalType> first = TTerminal::DaneTerminala();
  TPlik::WczytajDane(TTerminal::DaneTerminala()->Get_Exe_file());
  TOpisPliku kept(TPlik::DanePliku());

  TTerminals::WczytajDane(Config(Terminal("nowy", Access("all"))));
  EXPECT_EQ(TTerminal::DaneTerminala()->Get_Id(), "stary");
  EXPECT_EQ(TPlik::PobierzNazwe(), "stary.exe");
  TTerminals::WczytajDaneTerminala("nowy");  // a second selection replaces the first
  EXPECT_EQ(TTerminal::DaneTerminala()->Get_Id(), "nowy");
  EXPECT_EQ(kept.PobierzNazwe(), "stary.exe");
  EXPECT_FALSE(first.expired()) << "its document is kept until the end";

  TTerminals::Finalizuj();
  EXPECT_EQ(TTerminals::Konfiguracja(), nullptr);
  EXPECT_EQ(TTerminal::DaneTerminala(), nullptr);
  EXPECT_EQ(TPlik::DanePliku(), nullptr);
  EXPECT_EQ(kept.PobierzNazwe(), "stary.exe") << "a reference held past the end stays safe";
  kept = TOpisPliku(nullptr);
  EXPECT_TRUE(first.expired());
  TTerminals::Finalizuj();  // twice is harmless
}

// ---- the version gate ----

class VersionGate : public testing::TerminalsTest {
 protected:
  void Install(const char* program) {
    std::filesystem::copy_file(program, cwd_.Path() / "ruv_virad.exe");
  }
  testing::TempCwd cwd_;
};

TEST_F(VersionGate, PrefixOfTheOwnVersionLetterCaseIgnored) {
  const struct {
    const char* program;
    std::optional<std::string> required;
    bool good;
  } cases[] = {
      {RUV_STAMPED_PLAIN, std::nullopt, true},
      {RUV_STAMPED_PLAIN, "", true},
      {RUV_STAMPED_PLAIN, "3.0.0.3", true},
      {RUV_STAMPED_PLAIN, "3.0", true},
      {RUV_STAMPED_PLAIN, "3.0.0", true},
      {RUV_STAMPED_PLAIN, "3.0.0.", true},  // not cut at the dots
      {RUV_STAMPED_PLAIN, "3.0.0.31", false},
      {RUV_STAMPED_PLAIN, "3.0.0.3 ", false},
      {RUV_STAMPED_PLAIN, "3.1", false},
      {RUV_STAMPED_PLAIN, " 3.0", false},
      {RUV_STAMPED_LETTERED, "3.0.0.3 beta", true},
      {RUV_STAMPED_LETTERED, "3.0.0.3 BETA ŹDŹBŁO", true},
      {RUV_STAMPED_LETTERED, "3.0.0.3 beta źdźbło", true},
      {RUV_STAMPED_LETTERED, "3.0.0.3 beta zdzblo", false},
      {RUV_STAMPED_PLAIN, "3.0.0.3 beta", false},
  };
  const char* installed = nullptr;
  for (const auto& c : cases) {
    if (installed != c.program) {
      std::filesystem::remove(cwd_.Path() / "ruv_virad.exe");
      Install(c.program);
      installed = c.program;
    }
    const std::string attribute = c.required ? " prog_version=\"" + *c.required + "\"" : "";
    TTerminals::WczytajDane(Config("", attribute));
    EXPECT_EQ(TTerminals::WersjaProgramuJestDobra(), c.good) << (c.required ? *c.required : "<absent>");
  }
}

TEST_F(VersionGate, AnUnreadableOwnVersionPassesItsError) {
  TTerminals::WczytajDane(Config("", " prog_version=\"3\""));
  EXPECT_EQ(ErrorOf([] { TTerminals::WersjaProgramuJestDobra(); }), kNoVersionInfoMessage);
  std::filesystem::copy_file("/bin/true", cwd_.Path() / "ruv_virad.exe");
  EXPECT_EQ(ErrorOf([] { TTerminals::WersjaProgramuJestDobra(); }), kNoVersionInfoMessage);
}

}  // namespace
}  // namespace ruv::provisioning
