#pragma once
// Replacing a program file by a new one.

#include <string>

#include "platform/status.h"

// Puts a copy of the new program file source in place of the program file
// target at once (written beside it, flushed, renamed over it), so that target
// is the old program or the whole new one at every moment. The new file keeps
// the old one's permission bits, so it stays executable.
// Refused before anything is written when source is not a regular file (a
// symbolic link is refused too) or target is not an existing regular file: a
// symbolic link at target is neither followed nor replaced. On failure the old
// program stays as it was.
platform::Status ReplaceProgramFile(const std::string& source, const std::string& target);
