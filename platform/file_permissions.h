#pragma once
// Who may do what with a file that is written, said as intent. Each platform
// maps an intent to permissions of its own (platform/posix/native_file.h);
// on Windows, where files carry no such permissions, the read-only ones set
// the read-only attribute and the others none.

namespace platform {

enum class FilePermissions {
  kNormal,                   // the user reads and writes, everyone else reads
  kPrivate,                  // only the user reads and writes
  kExecutable,               // a program: the user writes, everyone reads and runs it
  kOwnerExecutable,          // a program only the user runs; everyone reads it
  kReadOnly,                 // everyone reads, nobody writes
  kReadOnlyExecutable,       // everyone reads and runs it, nobody writes
  kReadOnlyOwnerExecutable,  // everyone reads, the user runs it, nobody writes
};

// What happens to the permissions of a file that exists already when it is
// written anew.
enum class ExistingPermissions {
  kKeep,     // it keeps its own; the permissions apply to a new file only
  kReplace,  // it gets the permissions too
};

}  // namespace platform
