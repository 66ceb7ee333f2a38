#include <cstdlib>

#include "tests/support/environment.h"

namespace test_support {

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

void RemoveEnvironmentVariable(const std::string& name) { unsetenv(name.c_str()); }

}  // namespace test_support

#include "tests/support/file_traits.h"

namespace test_support {

bool FilesHaveModeBits() { return true; }
std::vector<std::string> ProgramFileHeads() {
  return {
      "\x7f"
      "ELF\x02\x01\x01",
      "#!/bin/sh\nexit 0\n"};
}
bool SymbolicLinksAvailable() { return true; }
bool FileNamesAreAnyBytes() { return true; }
bool LinuxProgramsRun() { return true; }

bool RunsUnderWine() { return false; }

}  // namespace test_support
