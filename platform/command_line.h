#pragma once
// The command line of the running program as one text.

#include <optional>
#include <string>
#include <vector>

namespace platform {

// The text of the command line after the program name. On Linux, where a
// program receives its arguments one by one, every argument after the program
// name is enclosed in double quotes and the arguments are separated by one
// blank, so that an argument keeps its blanks. nullopt when an argument holds
// a double quote, which that form cannot carry.
std::optional<std::string> ProgramArgumentText(int argc, const char* const* argv);

// The program's arguments after its name, each as UTF-8. On Linux they are
// argv as given; on Windows they are read from the wide-character command line
// (argv there holds the arguments in the system's code page, which loses the
// characters it lacks).
std::vector<std::string> ProgramArguments(int argc, const char* const* argv);

}  // namespace platform
