#pragma once
// The texts of "reelsmith --help" and "--version"; the man page is made from the same text.

namespace reelsmith {

// Answers --help, -h and --version when the first parameter is one of them: prints the
// text on stdout and returns the exit status 0; returns -1 for every other command line.
int AnswerInfoOption(int argc, const char* const* argv);

}  // namespace reelsmith
