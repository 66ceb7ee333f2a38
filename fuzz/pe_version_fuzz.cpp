// The version reader of program files over any file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_support.h"
#include "platform/file_version.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxFuzzInputBytes) return 0;
  const std::string path = WriteScratchFile("program.exe", InputText(data, size));
  std::optional<std::string> version = platform::ReadFileVersion(path);
  if (version) FuzzCheck(version->size() <= 3 * 0xffff, "a version no longer than its block");
  return 0;
}
