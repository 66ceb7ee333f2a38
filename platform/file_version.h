#pragma once
// The version resource of a program file.

#include <optional>
#include <string>

namespace platform {

// The "FileVersion" string of the file's version resource under its first
// language and code page. nullopt when the file has no version resource or no
// translation table (on Linux: any file that is not a PE program with one).
std::optional<std::string> ReadFileVersion(const std::string& path);

}  // namespace platform
