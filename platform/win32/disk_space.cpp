#include "platform/disk_space.h"

#include "platform/path.h"
#include "platform/system_paths.h"
#include "platform/win32/wide.h"

namespace platform {

std::optional<std::uint64_t> FreeDiskSpace(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const DWORD attributes = ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::nullopt;
  // The system asks for a folder: a file is answered by the folder that holds it.
  const std::string folder =
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? path : FolderOf(FullPath(path));
  // The bytes available to this user (quotas counted).
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(WidePath(folder).c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return static_cast<std::uint64_t>(available.QuadPart);
}

}  // namespace platform
