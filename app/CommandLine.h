// The trainer's own command-line options, answered before any window system is contacted.
#pragma once

namespace sonavix {

// Prints the answer to --help or --version and returns the exit status; -1 when the program
// should start as usual (every other argument is left to Qt).
int AnswerInfoOption(int argc, char** argv);

} // namespace sonavix
