#include <cstdlib>

#include "tests/support/environment.h"

namespace test_support {

// _putenv_s changes the C library's copy and the process's own environment.
void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  _putenv_s(name.c_str(), value.c_str());
}

// An empty value removes the variable.
void RemoveEnvironmentVariable(const std::string& name) { _putenv_s(name.c_str(), ""); }

}  // namespace test_support

#include "tests/support/file_traits.h"

namespace test_support {

// Windows keeps access in lists, not mode bits; links need a privilege that
// an ordinary user lacks.
bool FilesHaveModeBits() { return false; }
std::vector<std::string> ProgramFileHeads() { return {"MZ\x90"}; }
bool SymbolicLinksAvailable() { return false; }
bool FileNamesAreAnyBytes() { return false; }
bool LinuxProgramsRun() { return false; }

}  // namespace test_support

// Last: the system header makes SetEnvironmentVariable a macro.
#include <windows.h>

namespace test_support {

// wine's ntdll has an export of its own that Windows' lacks.
bool RunsUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace test_support
