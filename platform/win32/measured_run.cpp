#include "platform/measured_run.h"

#include <chrono>

#include "platform/process.h"
#include "platform/win32/wide.h"
//
#include <psapi.h>

namespace platform {

std::vector<std::string> CurrentEnvironment() {
  std::vector<std::string> list;
  wchar_t* block = ::GetEnvironmentStringsW();
  if (!block) return list;
  for (const wchar_t* entry = block; *entry; entry += std::wcslen(entry) + 1) {
    // Entries of the drive's current folders ("=C:=C:\...") are the system's own.
    if (entry[0] != L'=') list.push_back(Narrow(entry));
  }
  ::FreeEnvironmentStringsW(block);
  return list;
}

MeasuredRunResult RunAndMeasure(const std::string& program,
                                const std::vector<std::string>& arguments,
                                const MeasuredRunOptions& options) {
  MeasuredRunResult result;
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::wstring line = Widen(JoinCommandLine(argv));
  SECURITY_ATTRIBUTES inheritable{};
  inheritable.nLength = sizeof inheritable;
  inheritable.bInheritHandle = TRUE;
  const std::wstring output =
      options.stdout_file.empty() ? std::wstring(L"NUL") : WidePath(options.stdout_file);
  UniqueHandle out(::CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.valid()) {
    result.error = "cannot open " + Narrow(output) + ": " + ErrorText(::GetLastError());
    return result;
  }
  std::wstring environment;
  for (const std::string& entry : options.environment) {
    environment += Widen(entry);
    environment.push_back(L'\0');
  }
  environment.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out.get();
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  const std::wstring folder = WidePath(options.working_folder);
  PROCESS_INFORMATION info{};
  const auto start = std::chrono::steady_clock::now();
  if (!::CreateProcessW(
          WidePath(program).c_str(), line.data(), nullptr, nullptr, TRUE,
          CREATE_UNICODE_ENVIRONMENT, options.environment.empty() ? nullptr : environment.data(),
          options.working_folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    result.error = "cannot start " + program + ": " + ErrorText(::GetLastError());
    return result;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  result.started = true;
  const double limit_ms = options.timeout_seconds * 1000.0;
  const DWORD wait = limit_ms >= 4e9 ? INFINITE : static_cast<DWORD>(limit_ms);
  if (::WaitForSingleObject(process.get(), wait) != WAIT_OBJECT_0) {
    result.timed_out = true;
    ::TerminateProcess(process.get(), 1);
    ::WaitForSingleObject(process.get(), INFINITE);
  }
  result.wall_seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  DWORD code = 0;
  if (::GetExitCodeProcess(process.get(), &code)) result.exit_code = static_cast<int>(code);
  FILETIME created{}, ended{}, kernel{}, user{};
  if (::GetProcessTimes(process.get(), &created, &ended, &kernel, &user)) {
    auto seconds = [](const FILETIME& time) {
      ULARGE_INTEGER ticks;
      ticks.LowPart = time.dwLowDateTime;
      ticks.HighPart = time.dwHighDateTime;
      return static_cast<double>(ticks.QuadPart) / 1e7;
    };
    result.cpu_seconds = seconds(kernel) + seconds(user);
  }
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (::K32GetProcessMemoryInfo(process.get(), &memory, sizeof memory))
    result.max_rss_kib = static_cast<std::int64_t>(memory.PeakWorkingSetSize / 1024);
  return result;
}

}  // namespace platform
