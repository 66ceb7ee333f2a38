#include "platform/process.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>

#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "platform/utf8.h"
#include "platform/win32/native_file.h"
//
#include <shellapi.h>
#include <tlhelp32.h>

namespace platform {
namespace {

using SteadyClock = std::chrono::steady_clock;

// The children started by StartProgram, by id, with the handle that keeps
// their id from being given to another process until they are collected.
class Children {
 public:
  void Add(ProcessId pid, HANDLE process) {
    std::lock_guard lock(mutex_);
    handles_[pid] = std::make_shared<UniqueHandle>(process);
  }
  std::shared_ptr<UniqueHandle> Find(ProcessId pid) {
    std::lock_guard lock(mutex_);
    auto found = handles_.find(pid);
    return found == handles_.end() ? nullptr : found->second;
  }
  void Remove(ProcessId pid) {
    std::lock_guard lock(mutex_);
    handles_.erase(pid);
  }

 private:
  std::mutex mutex_;
  std::map<ProcessId, std::shared_ptr<UniqueHandle>> handles_;
};

Children& TheChildren() {
  static Children children;
  return children;
}

std::int64_t RemainingMs(SteadyClock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return std::max<std::int64_t>(0, left.count());
}

DWORD WaitTime(std::int64_t ms) {
  return static_cast<DWORD>(std::min<std::int64_t>(ms, 0x7FFFFFFF));
}

// The user of a process token, as a copy of its SID's bytes.
std::string TokenUser(HANDLE process) {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
  UniqueHandle token(raw);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), ::TokenUser, nullptr, 0, &size);
  if (size == 0 || size > 4096) return {};
  std::string buffer(size, '\0');
  if (!::GetTokenInformation(token.get(), ::TokenUser, buffer.data(), size, &size)) return {};
  PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  if (!::IsValidSid(sid)) return {};
  return std::string(static_cast<const char*>(sid), ::GetLengthSid(sid));
}

const std::string& OwnUser() {
  static const std::string user = TokenUser(::GetCurrentProcess());
  return user;
}

bool IsOwnProcess(HANDLE process) {
  const std::string user = TokenUser(process);
  return !user.empty() && user == OwnUser();
}

// The full path of the program file of a process; "" when unreadable.
std::string ImagePath(HANDLE process) {
  std::wstring buffer(32768, L'\0');
  DWORD size = static_cast<DWORD>(buffer.size());
  if (!::QueryFullProcessImageNameW(process, 0, buffer.data(), &size)) return {};
  return Narrow(std::wstring_view(buffer.data(), size));
}

bool HasEnding(const std::string& path, std::initializer_list<std::string_view> endings) {
  const std::string folded = FoldCase(path);
  return std::any_of(endings.begin(), endings.end(),
                     [&](std::string_view ending) { return folded.ends_with(ending); });
}

struct WindowSearch {
  DWORD pid = 0;
  int closed = 0;
};

BOOL CALLBACK CloseWindowOf(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  // The top-level windows a person sees; each is asked to close.
  if (owner == search->pid && ::GetWindow(window, GW_OWNER) == nullptr &&
      ::PostMessageW(window, WM_CLOSE, 0, 0))
    ++search->closed;
  return TRUE;
}

}  // namespace

StartResult StartProgram(const std::string& path, const std::vector<std::string>& arguments,
                         const std::string& working_folder) {
  StartResult result;
  if (path.empty()) {
    result.status = Status::Fail("no program to start");
    return result;
  }
  const std::string program = FullPath(path);
  std::vector<std::string> argv;
  argv.reserve(arguments.size() + 1);
  argv.push_back(program);
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::wstring line = Widen(JoinCommandLine(argv));
  const std::wstring folder = WidePath(working_folder);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // The program is named, never searched for; the child gets no handle of ours.
  if (!::CreateProcessW(WidePath(program).c_str(), line.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_PROCESS_GROUP | CREATE_UNICODE_ENVIRONMENT, nullptr,
                        working_folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    result.status = Failure("cannot start", program, ::GetLastError());
    return result;
  }
  ::CloseHandle(info.hThread);
  result.pid = static_cast<ProcessId>(info.dwProcessId);
  TheChildren().Add(result.pid, info.hProcess);
  return result;
}

Status OpenWithDesktop(const std::string& location) {
  if (location.empty()) return Status::Fail("nothing to open");
  const auto result = reinterpret_cast<INT_PTR>(
      ::ShellExecuteW(nullptr, L"open", Widen(location).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) return Status::Fail("cannot open '" + location + "'");
  return Status::Ok();
}

std::optional<int> WaitForProcess(ProcessId pid, std::int64_t timeout_ms) {
  if (pid <= 0) return std::nullopt;
  std::shared_ptr<UniqueHandle> handle = TheChildren().Find(pid);
  if (!handle) return std::nullopt;
  if (::WaitForSingleObject(handle->get(), WaitTime(std::max<std::int64_t>(0, timeout_ms))) !=
      WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  if (!::GetExitCodeProcess(handle->get(), &code)) return std::nullopt;
  TheChildren().Remove(pid);
  return static_cast<int>(code);
}

// Nothing lingers on Windows once the handle is closed.
void ReleaseChild(ProcessId pid) { TheChildren().Remove(pid); }

bool IsExecutableFile(const std::string& path) {
  return FileExists(path) && HasEnding(path, {".exe", ".com", ".bat", ".cmd"});
}

// A Windows program begins with "MZ".
bool IsProgramFile(const std::string& path) {
  if (path.empty()) return false;
  UniqueHandle file(::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || !IsRegularFileHandle(file.get())) return false;
  char head[2] = {};
  DWORD got = 0;
  return ::ReadFile(file.get(), head, sizeof head, &got, nullptr) && got == 2 && head[0] == 'M' &&
         head[1] == 'Z';
}

// Whether a file runs is a matter of its name on Windows: nothing to change.
Status MakeExecutableForOwner(const std::string& path) {
  const DWORD attributes =
      path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failure("cannot find", path, ::GetLastError());
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return Status::Fail("not a regular file: '" + path + "'");
  return Status::Ok();
}

std::vector<ProcessInfo> ListProcesses() {
  std::vector<ProcessInfo> processes;
  UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return processes;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == 0) continue;  // the idle process
    ProcessInfo info;
    info.pid = static_cast<ProcessId>(entry.th32ProcessID);
    // The snapshot names the program file; the command line of another
    // process is not offered, so its first word is that name.
    info.first_word = Narrow(entry.szExeFile);
    UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
    if (process.valid()) {
      info.own = IsOwnProcess(process.get());
      info.executable = ImagePath(process.get());
    }
    processes.push_back(std::move(info));
  }
  return processes;
}

ProcessId CurrentProcessId() { return static_cast<ProcessId>(::GetCurrentProcessId()); }

Status TerminateProcess(ProcessId pid, bool force) {
  ProcessInfo process;
  process.pid = pid;
  return TerminateProcess(process, force);
}

// force: TerminateProcess. Otherwise every top-level window of the process
// gets WM_CLOSE, as when the user closes it; a process without a window
// cannot be asked and the request fails.
Status TerminateProcess(const ProcessInfo& process, bool force) {
  const ProcessId pid = process.pid;
  const std::string name = "process " + std::to_string(pid);
  if (pid <= 0) return Status::Fail("no process id");
  // While the handle is open the id cannot go to another process.
  UniqueHandle handle(
      ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                    static_cast<DWORD>(pid)));
  if (!handle.valid()) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_INVALID_PARAMETER) return Status::Fail(name + " has ended");
    return Status::Fail("cannot open " + name + ": " + ErrorText(error));
  }
  if (::WaitForSingleObject(handle.get(), 0) == WAIT_OBJECT_0)
    return Status::Fail(name + " has ended");
  if (!IsOwnProcess(handle.get())) return Status::Fail(name + " does not belong to this user");
  if (!process.executable.empty() &&
      FoldCase(ImagePath(handle.get())) != FoldCase(process.executable))
    return Status::Fail(name + " no longer runs '" + process.executable + "'");
  if (force) {
    if (!::TerminateProcess(handle.get(), 1))
      return Status::Fail("cannot end " + name + ": " + ErrorText(::GetLastError()));
    return Status::Ok();
  }
  WindowSearch search;
  search.pid = static_cast<DWORD>(pid);
  ::EnumWindows(CloseWindowOf, reinterpret_cast<LPARAM>(&search));
  if (search.closed == 0) return Status::Fail(name + " has no window to close");
  return Status::Ok();
}

bool WaitForProcessesToEnd(const std::vector<ProcessId>& pids, std::int64_t timeout_ms) {
  const auto deadline =
      SteadyClock::now() + std::chrono::milliseconds(std::max<std::int64_t>(0, timeout_ms));
  std::vector<UniqueHandle> handles;
  for (ProcessId pid : pids) {
    if (pid <= 0) continue;
    UniqueHandle handle(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
    if (handle.valid()) handles.push_back(std::move(handle));
  }
  for (const UniqueHandle& handle : handles) {
    if (::WaitForSingleObject(handle.get(), WaitTime(RemainingMs(deadline))) != WAIT_OBJECT_0)
      return false;
  }
  return true;
}

}  // namespace platform
