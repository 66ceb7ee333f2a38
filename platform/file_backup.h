#pragma once
// Copies of whole files for undoing changes: the copy keeps the permission
// bits and the modification time of its source and appears at its
// destination at once (written under a temporary name, then renamed), so a
// file being restored is never seen half written.

#include <string>

#include "platform/status.h"

namespace platform {

// Copies the regular file source (links followed) to destination, replacing a
// file or link there (never writing through it). Streams the bytes, so files
// of any size work. The destination's folder must exist.
Status DuplicateFile(const std::string& source, const std::string& destination);

}  // namespace platform
