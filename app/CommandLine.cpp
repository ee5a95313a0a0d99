#include "CommandLine.h"

#include <cstdio>
#include <cstring>

namespace sonavix {

namespace {

const char kHelp[] =
    "Usage: sonavix [--help] [--version] [Qt options such as -platform NAME]\n"
    "\n"
    "Starts the Sonavix trainer: the 45 sound symbols of American English in five rows, each\n"
    "with its recording, its pronunciation rules and worked examples in Simplified Chinese.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

} // namespace

int AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("sonavix (Sonavix) %s\n"
                        "Copyright (C) 2026 the Sonavix developers\n"
                        "License GPL-3.0-or-later <https://gnu.org/licenses/gpl.html>.\n"
                        "This is free software: you are free to change and redistribute it.\n"
                        "There is NO WARRANTY, to the extent permitted by law.\n",
                        SONAVIX_VERSION);
            return 0;
        }
    }
    return -1;
}

} // namespace sonavix
