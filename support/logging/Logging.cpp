#include "ruv/support/Logging.h"

#include "ruv/platform/Exception.h"

#include <mutex>

namespace ruv {
namespace {

struct Tables {
  std::vector<const TLogLevel*> levels;
  std::vector<const TLogMessageComponent*> tokens;
  TProgramContextManagers* contexts = nullptr;
};

Tables* tables = nullptr;
std::once_flag initialized;

const Tables& Get() {
  InitializeLoggingUnits();
  return *tables;
}

std::string AsciiUpper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

void InitializeLoggingUnits() {
  std::call_once(initialized, [] {
    // Built once and kept until the process ends.
    auto* t = new Tables;
    for (const auto& [name, number] : {std::pair{"UNDEFINED", -1}, {"FINE", 0}, {"DEBUG", 1},
                                       {"INFO", 2}, {"WARNING", 3}, {"ERROR", 4}}) {
      t->levels.push_back(new TLogLevel(name, number));
    }
    const char* tokens[] = {"[rok]",    "[miesiac]", "[dzien]",     "[godzina]",
                            "[minuta]", "[sekunda]", "[ms]",        "[poziom]",
                            "[komunikat]", "[ileCzasuMineloOdPoprzedniegoWpisuMs]"};
    int index = 0;
    for (const char* token : tokens) {
      t->tokens.push_back(new TLogMessageComponent(token, "%" + std::to_string(index++) + ":s"));
    }
    t->contexts = new TProgramContextManagers;
    tables = t;
  });
}

TLogLevel::TLogLevel(std::string name, std::int32_t number) : name_(std::move(name)), number_(number) {}

const std::vector<const TLogLevel*>& TLogLevel::Levels() { return Get().levels; }

const TLogLevel& TLogLevel::getLevelByName(const std::string& name) {
  const std::string wanted = AsciiUpper(name);
  for (const TLogLevel* level : Levels()) {
    if (AsciiUpper(level->getName()) == wanted) return *level;
  }
  throw Exception("Undefinied level with name \"" + name + "\"");
}

const TLogLevel& TLogLevel::getLevelByNumber(std::int32_t number) {
  for (const TLogLevel* level : Levels()) {
    if (level->getNumber() == number) return *level;
  }
  throw Exception("Undefinied level with number \"" + std::to_string(number) + "\"");
}

TLogMessageComponent::TLogMessageComponent(std::string tekst, std::string tekstFormatowania)
    : tekst_(std::move(tekst)), tekstFormatowania_(std::move(tekstFormatowania)) {}

std::vector<const TLogMessageComponent*> TLogMessageComponent::zwrocListeWartosci() {
  return Get().tokens;
}

TProgramContextManagers& ProgramContextManagers() { return *Get().contexts; }

}  // namespace ruv
