#include "updater/core/updater_log.h"

#include <cstdio>

#include "platform/file_system.h"
#include "updater/core/text.h"

namespace {

// Appends the UTF-16LE bytes of a UTF-8 text.
void AppendUtf16Le(std::string& bytes, std::string_view text) {
  for (char16_t unit : Utf8ToUtf16(text)) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
  }
}

std::string TimePrefix(const platform::IClock& clock) {
  platform::LocalTime now = clock.Now();
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d:%03d => ", now.hour, now.minute, now.second,
                now.millisecond);
  return buffer;
}

}  // namespace

CUpdaterLog& CUpdaterLog::Instance() {
  static CUpdaterLog log;
  return log;
}

void CUpdaterLog::ResetInstance() {
  CUpdaterLog& log = Instance();
  log.Close();
  std::lock_guard<std::mutex> lock(log.mutex_);
  log.timestamps_ = false;
  log.clock_ = nullptr;
}

void CUpdaterLog::Open(const std::string& path, bool timestamps) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (open_) {
    (void)file_.Close();
    open_ = false;
  }
  // Removing first means a link planted under the name is replaced, not followed.
  (void)platform::RemoveFile(path);
  // The log may hold addresses with credentials: owner only, before anything is written.
  platform::Status status =
      file_.Open(path, platform::WriteStart::kEmpty, platform::FilePermissions::kPrivate,
                 platform::ExistingPermissions::kReplace);
  if (status) status = file_.Write("\xFF\xFE");
  if (!status) {
    (void)file_.Close();
    throw LogFileException(path);
  }
  open_ = true;
  timestamps_ = timestamps;
}

void CUpdaterLog::SetTimestamps(bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  timestamps_ = on;
}

void CUpdaterLog::WriteLine(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  WriteLocked(text, timestamps_);
}

void CUpdaterLog::WriteHeader(std::string_view command_line) {
  std::lock_guard<std::mutex> lock(mutex_);
  WriteLocked("UPDATER LOG FILE", false);
  WriteLocked("================", false);
  WriteLocked("", false);
  WriteLocked("Commandline: " + std::string(command_line), false);
  WriteLocked("", false);
  WriteLocked(std::string(53, '*'), false);
  WriteLocked("", false);
}

void CUpdaterLog::WriteFooter(std::int64_t elapsed_ms) {
  const std::string rule(37, '-');
  std::lock_guard<std::mutex> lock(mutex_);
  WriteLocked("", false);
  WriteLocked(rule, false);
  WriteLocked("Update took " + FormatElapsedTime(elapsed_ms) + " (hh:mm:ss:ms)", false);
  WriteLocked(rule, false);
  WriteLocked("", false);
  WriteLocked("Close Updater", false);
}

void CUpdaterLog::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!open_) return;
  (void)file_.Close();
  open_ = false;
}

bool CUpdaterLog::IsOpen() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

void CUpdaterLog::SetClock(const platform::IClock* clock) {
  std::lock_guard<std::mutex> lock(mutex_);
  clock_ = clock;
}

void CUpdaterLog::WriteLocked(std::string_view text, bool timestamps) {
  if (!open_) return;
  std::string bytes;
  bytes.reserve((text.size() + 20) * 2);
  if (timestamps) AppendUtf16Le(bytes, TimePrefix(clock_ ? *clock_ : platform::SystemClock()));
  AppendUtf16Le(bytes, text);
  AppendUtf16Le(bytes, "\r\n");
  // One write of the whole line, flushed so that a crash keeps everything written so far.
  (void)file_.Write(bytes);
}

std::string FormatElapsedTime(std::int64_t ms) {
  if (ms < 0) ms = 0;
  const std::int64_t hours = ms / 3600000;
  ms %= 3600000;
  const int minutes = static_cast<int>(ms / 60000);
  ms %= 60000;
  const int seconds = static_cast<int>(ms / 1000);
  const int milliseconds = static_cast<int>(ms % 1000);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lld:%02d:%02d:%03d", static_cast<long long>(hours),
                minutes, seconds, milliseconds);
  return buffer;
}

std::string LogFileName(std::string_view application_name) {
  std::string name(application_name);
  for (char& c : name) {
    if (c == '/' || c == '\\') c = '_';
  }
  return "Updater log for " + name + ".txt";
}
