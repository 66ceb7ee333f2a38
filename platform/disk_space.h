#pragma once
// Free space on a volume.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// The bytes an unprivileged user may still write on the volume that holds the
// path (a file or a folder that exists). nullopt when the volume cannot be
// queried. Values beyond the range of 64 bits are reported as the largest one.
std::optional<std::uint64_t> FreeDiskSpace(const std::string& path);

}  // namespace platform
