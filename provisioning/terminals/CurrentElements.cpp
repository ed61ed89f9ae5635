// The selections of TPlik and TTerminal.

#include "CurrentElement.h"
#include "ruv/provisioning/Plik.h"
#include "ruv/provisioning/Terminal.h"

namespace ruv::provisioning {

void TPlik::WczytajDane(config::IXMLFileTypePtr dane) { detail::Current<config::IXMLFileType>().Set(std::move(dane)); }
config::IXMLFileTypePtr TPlik::DanePliku() { return detail::Current<config::IXMLFileType>().Get(); }

void TTerminal::WczytajDane(config::IXMLTerminalTypePtr dane) {
  detail::Current<config::IXMLTerminalType>().Set(std::move(dane));
}
config::IXMLTerminalTypePtr TTerminal::DaneTerminala() { return detail::Current<config::IXMLTerminalType>().Get(); }

}  // namespace ruv::provisioning
