#include "platform/disk_space.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <limits>

namespace platform {

std::optional<std::uint64_t> FreeDiskSpace(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct statvfs facts {};
  int result = 0;
  do {
    result = ::statvfs(path.c_str(), &facts);
  } while (result != 0 && errno == EINTR);
  if (result != 0) return std::nullopt;
  const std::uint64_t blocks = facts.f_bavail;
  const std::uint64_t block_size = facts.f_frsize != 0 ? facts.f_frsize : facts.f_bsize;
  if (block_size != 0 && blocks > std::numeric_limits<std::uint64_t>::max() / block_size)
    return std::numeric_limits<std::uint64_t>::max();
  return blocks * block_size;
}

}  // namespace platform
