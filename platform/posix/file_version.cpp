#include "platform/file_version.h"

namespace platform {

std::optional<std::string> ReadFileVersion(const std::string&) { return std::nullopt; }

}  // namespace platform
