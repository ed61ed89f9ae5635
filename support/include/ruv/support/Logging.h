#pragma once
// The system's log vocabulary: the six log levels, the ten tokens of a log-line
// template with their format placeholders, and the program-context registry.
// The tables are built once at start (InitializeLoggingUnits, in this order:
// levels, tokens, registry) and never change or go away.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ruv {

class TLogLevel {
 public:
  TLogLevel(std::string name, std::int32_t number);
  const std::string& getName() const { return name_; }
  std::int32_t getNumber() const { return number_; }

  // The level whose name equals `name` with ASCII letters compared case-blind;
  // raises Exception "Undefinied level with name \"<name>\"" otherwise.
  static const TLogLevel& getLevelByName(const std::string& name);
  // The level with the number; raises Exception "Undefinied level with number \"<n>\"" otherwise.
  static const TLogLevel& getLevelByNumber(std::int32_t number);
  // The six levels in their order: UNDEFINED, FINE, DEBUG, INFO, WARNING, ERROR.
  static const std::vector<const TLogLevel*>& Levels();

 private:
  std::string name_;
  std::int32_t number_;
};

class TLogMessageComponent {
 public:
  TLogMessageComponent(std::string tekst, std::string tekstFormatowania);
  // The token as written in a log-line template, e.g. "[rok]".
  const std::string& zwrocTekst() const { return tekst_; }
  // The format placeholder that stands for it, e.g. "%0:s".
  const std::string& zwrocTekstFormatowania() const { return tekstFormatowania_; }

  // A new array of the ten shared tokens in their order.
  static std::vector<const TLogMessageComponent*> zwrocListeWartosci();

 private:
  std::string tekst_;
  std::string tekstFormatowania_;
};

class TProgramObjectContextManager {
 public:
  virtual ~TProgramObjectContextManager() = default;
};

class TProgramContextManager : public TProgramObjectContextManager {};

using TProgramContextManagers = std::map<std::string, std::shared_ptr<TProgramContextManager>>;

// The program-context registry, empty at start.
TProgramContextManagers& ProgramContextManagers();

// Builds the tables (levels, tokens, registry) once; later calls do nothing.
// Every accessor above calls it first.
void InitializeLoggingUnits();

}  // namespace ruv
