#pragma once
// The program's resource strings: texts the program ships with and reads at
// every use, kept in one place.

#include <optional>
#include <string>

namespace ruv::resources {

// The download server's URL templates, ";"-separated delimited text, each with
// one "%s" for the requested path. Set at build time (RUV_URL_TEMPLATES).
std::string SzablonyAdresow();
// Tests point the program at a server of their own (a port chosen at run time);
// an empty optional restores the built-in list. Not used by the program itself.
void SetUrlTemplatesForTesting(std::optional<std::string> templates);

// The launcher's base name; the application's title and the executable's name stem.
std::string NazwaProgramu();           // "ruv_virad"
// The launcher's file name.
std::string NazwaPlikuProgramu();      // "ruv_virad.exe"
// The downloader program that updates the launcher.
std::string NazwaProgramuPobierajacego();  // "ruv_virad_downloader.exe"

// Asked before a terminal is fetched whose version differs in its first five characters.
std::string KomunikatNowszaWersjaTerminala();
// Prefix of the error of a terminal library that has no description.
std::string KomunikatBrakInformacjiOBibliotece();

}  // namespace ruv::resources
