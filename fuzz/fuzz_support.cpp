#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

const std::string& ScratchFolder() {
  static const TempFolder folder;
  return folder.path();
}

std::string WriteScratchFile(std::string_view name, std::string_view bytes) {
  std::string path = ScratchFolder() + "/" + std::string(name);
  platform::Status written = platform::WriteFileAtomic(
      path, bytes, platform::FilePermissions::kNormal, platform::ExistingPermissions::kKeep,
      platform::Durability::kThisRun);
  FuzzCheck(static_cast<bool>(written), "cannot write the scratch file " + path);
  return path;
}

void FuzzCheck(bool condition, std::string_view message) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(message.size()),
               message.data());
  std::abort();
}
