#pragma once
// What the file system of the test's platform has, for the tests of
// behaviour that only exists there (mode bits, symbolic links).

namespace test_support {

// Files carry owner/group/other mode bits that the code sets and checks.
bool FilesHaveModeBits();
// Symbolic links can be made by an ordinary user.
bool SymbolicLinksAvailable();

}  // namespace test_support
