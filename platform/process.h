#pragma once
// Programs and processes: starting a program with an argument vector (never
// through a shell), opening a document or web address with the desktop's
// opener, listing the running processes and ending the user's own ones.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace platform {

using ProcessId = int;

// Splits a parameter text into arguments by the Windows command-line rules:
// blanks and tabs separate arguments outside double quotes; a double quote
// starts or ends a quoted part (inside one, two double quotes give one literal
// quote); 2n backslashes before a double quote give n backslashes and the quote
// acts, 2n+1 give n backslashes and a literal quote; other backslashes are
// literal. An empty quoted part is an empty argument.
std::vector<std::string> SplitCommandLine(std::string_view parameters);

// The command-line text that SplitCommandLine (and the Windows programs'
// own parser) splits into exactly these arguments: an argument without
// blanks, tabs, line breaks or double quotes stays as it is; any other (and
// an empty one) is enclosed in double quotes, a double quote inside is
// escaped with a backslash, and the backslashes before an escaped or the
// closing quote are doubled. Arguments are separated by one blank.
std::string JoinCommandLine(const std::vector<std::string>& arguments);

// The outcome of starting a program.
struct StartResult {
  Status status = Status::Ok();
  ProcessId pid = 0;  // the child's id when status is ok
};

// Starts the program at path with the given arguments (argv[0] is the path
// itself) in working_folder (empty: the current folder). The child starts in a
// process group of its own with default signal handling. The child belongs to
// the caller: wait for it with WaitForProcess or hand it to ReleaseChild.
StartResult StartProgram(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& working_folder);

// Opens a web address or a document with the desktop's opener ("xdg-open" on
// Linux, found on the search path). Only starts the opener; its child is
// released, and whether the opener succeeds later is not reported.
Status OpenWithDesktop(const std::string& location);

// Waits at most timeout_ms for a child started by StartProgram to end and
// collects it. Returns its exit code (128 + the signal number when a signal
// ended it); nullopt when it is still running after the time-out or is not a
// child of this process.
std::optional<int> WaitForProcess(ProcessId pid, std::int64_t timeout_ms);

// Lets a started child run on by itself: a background waiter collects it when
// it ends, so that no finished child lingers as a zombie.
void ReleaseChild(ProcessId pid);

// True for a regular file that this user may execute.
bool IsExecutableFile(const std::string& path);

// True for a regular file that is a program whatever its permission bits: an
// ELF file or a script that starts with "#!". Downloaded files are created
// without the execute bit, so a program is known by its first bytes.
bool IsProgramFile(const std::string& path);

// Gives the owner of a regular file the execute bit (the other bits are kept).
// A symbolic link is refused, never followed.
Status MakeExecutableForOwner(const std::string& path);

// One running process as the process list shows it.
struct ProcessInfo {
  ProcessId pid = 0;
  bool own = false;        // every user id of the process is this user's
  std::string executable;  // full path of the program file ("" when unreadable)
  std::string first_word;  // the first word of its command line ("" when unknown)
};

// The running processes (zombies excluded). Every file of the process list is
// read with a size bound.
std::vector<ProcessInfo> ListProcesses();

ProcessId CurrentProcessId();

// Asks the process to end (force false: it may clean up first) or ends it at
// once (force true). Refused for a process that is not wholly this user's. The
// request goes through a handle of the process, checked after it was opened,
// so it cannot reach a process that got the same id later.
Status TerminateProcess(ProcessId pid, bool force);
// The same, also refused when the process no longer runs the executable that
// the list showed (its id has been given to another program meanwhile).
Status TerminateProcess(const ProcessInfo& process, bool force);

// Waits at most timeout_ms until none of the processes runs any more; true
// when all have ended (a zombie counts as ended).
bool WaitForProcessesToEnd(const std::vector<ProcessId>& pids, std::int64_t timeout_ms);

// How a program is looked for among processes.
struct ProgramLookup {
  bool ignore_case = true;       // file names compared without regard to letter case
  bool command_line_too = true;  // the first word of the command line counts as well as
                                 // the executable (a program file that cannot be read,
                                 // a Windows program run by a loader)
};

// True when the process runs the program. A program named with a path (one
// that holds a separator) matches a process whose program file has the same
// file name in the same folder (both made absolute; a relative first word
// says nothing about its folder and never matches a path); a bare name
// matches the file name in any folder. An empty name never matches.
bool ProcessRunsProgram(const ProcessInfo& process, const std::string& program,
                        ProgramLookup lookup = {});

// This user's processes (own ones, self excluded) that run the program.
std::vector<ProcessInfo> UsersProcessesRunning(std::vector<ProcessInfo> processes, ProcessId self,
                                               const std::string& program,
                                               ProgramLookup lookup = {});

// The process list and the signals behind one interface, so that the logic that
// closes an application can be tested with a fake list.
class IProcessControl {
 public:
  virtual ~IProcessControl() = default;
  virtual std::vector<ProcessInfo> ListProcesses() = 0;
  virtual ProcessId CurrentProcessId() = 0;
  virtual Status TerminateProcess(const ProcessInfo& process, bool force) = 0;
  virtual bool WaitForProcessesToEnd(const std::vector<ProcessId>& pids,
                                     std::int64_t timeout_ms) = 0;
};

// The real process list and signals.
IProcessControl& SystemProcessControl();

}  // namespace platform
