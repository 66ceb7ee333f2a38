#pragma once
// What the file system of the test's platform has, for the tests of
// behaviour that only exists there (mode bits, symbolic links, names).

#include <string>
#include <vector>

namespace test_support {

// Files carry owner/group/other mode bits that the code sets and checks.
bool FilesHaveModeBits();
// Symbolic links can be made by an ordinary user.
bool SymbolicLinksAvailable();
// A file name may be any bytes but the separator and NUL: "<", ">", a
// backslash or bytes that are no UTF-8. Windows keeps names as UTF-16 text
// and refuses those characters.
bool FileNamesAreAnyBytes();
// The first bytes by which the platform knows a program file, one entry per
// kind: an ELF header and "#!" on Linux, "MZ" on Windows.
std::vector<std::string> ProgramFileHeads();
// The Linux system's programs (/bin/sleep, /usr/bin/touch, /bin/sh scripts)
// start here as programs.
bool LinuxProgramsRun();

// The tests run under wine rather than on Windows itself.
bool RunsUnderWine();

}  // namespace test_support
