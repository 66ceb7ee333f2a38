#pragma once
// Facts about one file (kind, permission bits, size, identity) and the file
// attributes of update files: read-only means "no write bits"; the other
// attributes (hidden, system, archive, compressed) have no meaning here.

#include <cstdint>
#include <optional>
#include <string>

#include "platform/status.h"

namespace platform {

struct FileFacts {
  bool regular = false;
  bool folder = false;
  unsigned mode = 0;  // permission bits (07777)
  std::uint64_t size = 0;
  std::int64_t modification_time = 0;  // seconds since the epoch
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// The facts of a path with symbolic links followed; nullopt when it does not exist.
std::optional<FileFacts> GetFileFacts(const std::string& path);
// True when both paths exist and name the same file (links followed).
bool IsSameFile(const std::string& a, const std::string& b);
// Total size of the regular files below a folder; symbolic links are not
// followed. Folders deeper than max_depth are not counted.
std::uint64_t FolderContentSize(const std::string& folder, int max_depth = 64);

// Makes a regular file read-only (every write bit cleared) or writable again
// (the owner's write bit set). A symbolic link is refused, never followed.
Status SetReadOnly(const std::string& path, bool read_only);

}  // namespace platform
