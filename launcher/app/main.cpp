// The launcher program.
#include "ruv/launcher/Program.h"

int main(int argc, char** argv) { return ruv::UruchomLauncher(argc, argv); }
