// TTerminals: the current configuration, its queries and the client network check.

#include "ruv/provisioning/Terminals.h"

#include <locale.h>
#include <mutex>
#include <optional>
#include <wctype.h>

#include "CurrentElement.h"
#include "ruv/platform/Network.h"
#include "ruv/platform/Text.h"
#include "ruv/platform/XMLDoc.h"
#include "ruv/provisioning/FileVersion.h"
#include "ruv/provisioning/LocalAddresses.h"
#include "ruv/provisioning/ResourceStrings.h"

namespace ruv::provisioning {
namespace {

detail::CurrentElement<config::IXMLRuv_virad>& Konfiguracja_() { return detail::Current<config::IXMLRuv_virad>(); }

// Every configuration document loaded in this run. Elements taken from one stay
// valid after a newer load; Finalizuj releases them all.
struct Documents {
  std::mutex mutex;
  std::vector<xml::IXMLDocumentPtr> list;
};
Documents& Dokumenty() {
  static auto* documents = new Documents;  // never destroyed: safe for threads running at exit
  return *documents;
}

// The configuration the queries work on; before the first load they refuse.
config::IXMLRuv_viradPtr Root() {
  auto root = Konfiguracja_().Get();
  if (!root) throw Exception("Konfiguracja nie została wczytana");
  return root;
}

bool InNetwork(const config::IXMLRuv_viradPtr& root) {
  bool result = false;
  net::TIdNetworkCalculator calculator;
  const auto networks = root->Get_Network();
  const int count = networks->Count();
  // The machine's addresses are read once per check, when the first element has
  // been taken, and serve all its elements: reading the interfaces costs tens of
  // microseconds, and the offered list checks once for every terminal. Within one
  // check the addresses cannot be seen to change; the next check reads them anew.
  std::optional<std::vector<std::string>> addresses;
  // Every element and every address is examined: a malformed element after a
  // matching one still raises.
  for (int i = 0; i < count; ++i) {
    const auto network = networks->Get_Item(i);
    calculator.SetNetworkMaskAsString(network->Get_Mask());
    calculator.SetNetworkAddressAsString(network->Get_Ip());
    if (!addresses) addresses = PobierzLokalneAdresyIP();
    for (const auto& address : *addresses) {
      if (address == kNoIpFound) continue;
      if (calculator.IsAddressInNetwork(address)) result = true;
    }
  }
  return result;
}

// Letter case folded per character, Polish letters and the rest of Unicode
// included, independent of the user's locale settings.
char32_t Lower(char32_t c) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (c < 0x80) return c >= U'A' && c <= U'Z' ? c + 32 : c;
  if (!utf8) return c;
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), utf8));
}

// Whether text begins with prefix, letter case ignored.
bool StartsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  const std::u32string t = text::Utf8ToUtf32(text);
  const std::u32string p = text::Utf8ToUtf32(prefix);
  if (t.size() < p.size()) return false;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (Lower(t[i]) != Lower(p[i])) return false;
  }
  return true;
}

std::string ValueOf(const config::IXMLGuiParamTypePtr& element) {
  return xml::VarToStr(element->GetAttribute("value"), "String");
}

}  // namespace

bool TTerminals::restrictedAccess() { return InNetwork(Root()); }

void TTerminals::WczytajDane(const std::string& dane) {
  auto document = xml::TXMLDocument::Create();
  document->LoadFromText(dane);
  auto root = config::Getruv_virad(document);
  {
    auto& documents = Dokumenty();
    std::lock_guard guard(documents.mutex);
    documents.list.push_back(std::move(document));
  }
  Konfiguracja_().Set(std::move(root));
}

std::vector<std::string> TTerminals::PobierzListeIdentyfikatorowTerminali() {
  const auto root = Root();
  std::vector<std::string> ids;
  const auto terminals = root->Get_Terminal();
  const int count = terminals->Count();
  for (int i = 0; i < count; ++i) {
    const auto terminal = terminals->Get_Item(i);
    if (!InNetwork(root) && terminal->Get_Access_mode()->Get_Value() != "all") continue;
    ids.push_back(terminal->Get_Id());
  }
  return ids;
}

void TTerminals::WczytajDaneTerminala(const std::string& Id) {
  const auto terminals = Root()->Get_Terminal();
  const int count = terminals->Count();
  for (int i = 0; i < count; ++i) {
    auto terminal = terminals->Get_Item(i);
    if (terminal->Get_Id() == Id) {
      TTerminal::WczytajDane(std::move(terminal));
      return;
    }
  }
  throw Exception("Terminal o identyfikatorze \"" + Id + "\" nie został opisany w pliku konfiguracyjnym");
}

bool TTerminals::WersjaProgramuJestDobra() {
  const std::string required = Root()->Get_Prog_version();
  const std::string own = GetFileVersionString(resources::NazwaPlikuProgramu());
  return StartsWithIgnoringCase(own, required);
}

std::string TTerminals::PobierzEmailAdministratora() { return Root()->Get_Admin_email(); }
std::string TTerminals::PobierzLinkDoStrony() { return Root()->Get_Link(); }

std::string TTerminals::PobierzClForm() { return ValueOf(Root()->Get_ClForm()); }
std::string TTerminals::PobierzClText() { return ValueOf(Root()->Get_ClText()); }
std::string TTerminals::PobierzClLink() { return ValueOf(Root()->Get_ClLink()); }
std::string TTerminals::PobierzClBtnNormal() { return ValueOf(Root()->Get_ClBtnNormal()); }
std::string TTerminals::PobierzClBtnHighlight() { return ValueOf(Root()->Get_ClBtnHighlight()); }
std::string TTerminals::PobierzClBtnText() { return ValueOf(Root()->Get_ClBtnText()); }
std::string TTerminals::PobierzClBtnFrame() { return ValueOf(Root()->Get_ClBtnFrame()); }
std::string TTerminals::PobierzTextSize() { return ValueOf(Root()->Get_TextSize()); }
std::string TTerminals::PobierzBtnTextSize() { return ValueOf(Root()->Get_BtnTextSize()); }
std::string TTerminals::PobierzMargin() { return ValueOf(Root()->Get_Margin()); }
std::string TTerminals::PobierzTopMargin() { return ValueOf(Root()->Get_TopMargin()); }
std::string TTerminals::PobierzBtnWidth() { return ValueOf(Root()->Get_BtnWidth()); }
std::string TTerminals::PobierzBtnHeight() { return ValueOf(Root()->Get_BtnHeight()); }

config::IXMLDllTypePtr TTerminals::PobierzDll(const std::string& Nazwa) {
  const auto dlls = Root()->Get_Dll();
  const int count = dlls->Count();
  for (int i = 0; i < count; ++i) {
    auto dll = dlls->Get_Item(i);
    if (dll->Get_Name() == Nazwa) return dll;
  }
  return nullptr;
}

config::IXMLRuv_viradPtr TTerminals::Konfiguracja() { return Konfiguracja_().Get(); }

void TTerminals::Finalizuj() {
  std::vector<xml::IXMLDocumentPtr> documents;
  {
    auto& all = Dokumenty();
    std::lock_guard guard(all.mutex);
    documents.swap(all.list);
  }
  documents.clear();
  TPlik::WczytajDane(nullptr);
  TTerminal::WczytajDane(nullptr);
  Konfiguracja_().Set(nullptr);
}

}  // namespace ruv::provisioning
