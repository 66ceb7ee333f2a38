#include "updater/core/run_lock.h"

#include <iostream>

#include "platform/append_only_file.h"
#include "platform/file_system.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"

std::string RunLockPath(const std::string& temp_folder, const std::string& application_name) {
  return temp_folder + "updater_" + FolderComponent(application_name) + ".lock";
}

bool AppendLineToLog(const std::string& path, const std::string& line) {
  if (!platform::FileExists(path) || platform::IsSymbolicLink(path)) return false;
  platform::AppendOnlyFile log;
  if (!log.Open(path, false)) return false;
  std::string bytes;
  for (char16_t unit : Utf8ToUtf16(line + "\r\n")) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
  }
  return log.Append(bytes).ok();
}

bool CRunLock::Take(const std::string& temp_folder, const std::string& application_name) {
  const std::string path = RunLockPath(temp_folder, application_name);
  platform::Status taken = lock_.Acquire(path, 0);
  if (taken) return true;
  if (!platform::FileExists(path) || platform::IsSymbolicLink(path)) {
    std::cerr << "Velmora Updater: " << taken.message() << "\n";
    return false;
  }
  const std::string line = "another updater is already running for " + application_name +
                           "; this start ends without changing anything";
  std::cerr << "Velmora Updater: " << line << "\n";
  AppendLineToLog(temp_folder + LogFileName(application_name), line);
  return false;
}
