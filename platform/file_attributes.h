#pragma once
// Facts about one file (kind, size, identity) and the file attributes of
// update files: read-only means nobody may write the file; the other
// attributes (hidden, system, archive, compressed) have no meaning on Linux.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/status.h"

namespace platform {

struct FileFacts {
  bool regular = false;
  bool folder = false;
  std::uint64_t size = 0;
  std::int64_t modification_time = 0;  // seconds since the epoch
  // Together the identity of the file: the same on every path to it.
  std::uint64_t volume = 0;
  std::uint64_t file_id = 0;  // unique on its volume
};

// The facts of a path with symbolic links followed; nullopt when it does not exist.
std::optional<FileFacts> GetFileFacts(const std::string& path);
// True when both paths exist and name the same file (links followed).
bool IsSameFile(const std::string& a, const std::string& b);
// Total size of the regular files below a folder; symbolic links are not
// followed. Folders deeper than max_depth are not counted.
std::uint64_t FolderContentSize(const std::string& folder, int max_depth = 64);

// Makes a regular file read-only (nobody may write it) or writable again by
// its owner (the rest of its permissions stay). A symbolic link is refused, never followed.
Status SetReadOnly(const std::string& path, bool read_only);

}  // namespace platform
