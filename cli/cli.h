// The `lumora` command: check, write and search XML documents from a shell.
//
// Run takes the arguments after the program name and writes to the streams
// it is given, so that the whole command can be driven from tests.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lumora::cli {

// Exit status, for all files of one run together: the worst of them.
enum ExitCode : int {
  kExitOk = 0,         // every file well-formed (and valid when asked)
  kExitInvalid = 1,    // validity errors
  kExitMalformed = 2,  // a file is not well-formed
  kExitFailure = 3,    // a file could not be read or written, or a bad command line
};

// A progress line is drawn on terminal while a long input is read; a
// null terminal shows none (stderr that is not a terminal, tests).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        std::ostream* terminal = nullptr);

}  // namespace lumora::cli
