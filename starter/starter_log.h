#pragma once
// The starter's log file, written through the logging library.

#include <string>

// Configures the logger "default": file "velmora_starter.log" in the working
// directory, the formats per level, a size limit of 2 MiB, nothing on the
// console, and the library's flags (strict size check, no abort on a fatal
// line, detailed crash reason).
void ConfigureStarterLog();

// Writes one line at level Info.
void WriteStarterLog(const std::string& line);
