#pragma once
// The system log, for programs that have no window and no log of their own.

#include <string>

namespace platform {

// Writes one warning line to the system log under the program's name. The text
// is written as it is, never used as a format.
void WriteSystemLog(const std::string& program, const std::string& text);

}  // namespace platform
