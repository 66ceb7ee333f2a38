#include "platform/disk_space.h"

#include "platform/win32/wide.h"

namespace platform {

std::optional<std::uint64_t> FreeDiskSpace(const std::string& path) {
  if (path.empty()) return std::nullopt;
  // The bytes available to this user (quotas counted).
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(WidePath(path).c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return static_cast<std::uint64_t>(available.QuadPart);
}

}  // namespace platform
