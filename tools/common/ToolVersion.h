// The --version text every Sonavix command-line tool prints, in the layout help2man reads.
#pragma once

#include <cstdio>

#ifndef SONAVIX_VERSION
#error "SONAVIX_VERSION comes from the CMake project version (sonavix_tool_version)"
#endif

namespace sonavix {

inline void PrintToolVersion(const char* tool) {
    std::printf("%s (Sonavix) %s\n"
                "Copyright (C) 2026 the Sonavix developers\n"
                "License GPL-3.0-or-later <https://gnu.org/licenses/gpl.html>.\n"
                "This is free software: you are free to change and redistribute it.\n"
                "There is NO WARRANTY, to the extent permitted by law.\n",
                tool, SONAVIX_VERSION);
}

} // namespace sonavix
