#pragma once
// The run's log: one UTF-16LE text file with CR LF line ends, written from
// every thread of the updater, each line optionally prefixed with the local time.

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/file_writer.h"

// Thrown by CUpdaterLog::Open when the log file cannot be created.
class LogFileException : public std::runtime_error {
 public:
  explicit LogFileException(const std::string& path)
      : std::runtime_error("cannot create the log file: " + path) {}
};

class CUpdaterLog {
 public:
  // The process-wide log, created closed on first use.
  static CUpdaterLog& Instance();
  // Closes the process-wide log and puts back time stamps off and the system
  // clock (tests).
  static void ResetInstance();

  CUpdaterLog() = default;
  CUpdaterLog(const CUpdaterLog&) = delete;
  CUpdaterLog& operator=(const CUpdaterLog&) = delete;

  // Creates the file anew (an older one is replaced), readable and writable by
  // the owner only, and writes the byte-order mark. A log already open is closed
  // first. Throws LogFileException when the file cannot be created.
  void Open(const std::string& path, bool timestamps);
  void SetTimestamps(bool on);
  // Writes one whole line; does nothing while no file is open. Safe to call
  // from several threads: lines never interleave and each is flushed at once.
  void WriteLine(std::string_view text);
  // The lines that open the log, written without time stamps whatever the
  // switch says; the switch itself is left alone.
  void WriteHeader(std::string_view command_line);
  // The lines that close the log, written without time stamps.
  void WriteFooter(std::int64_t elapsed_ms);
  // Closes the file; later lines are dropped.
  void Close();
  bool IsOpen() const;

  // The clock of the time stamps; nullptr puts back the system clock. The
  // clock must outlive its use by the log.
  void SetClock(const platform::IClock* clock);

 private:
  // Writes one line with the lock held.
  void WriteLocked(std::string_view text, bool timestamps);

  mutable std::mutex mutex_;
  platform::FileWriter file_;
  bool open_ = false;
  bool timestamps_ = false;
  const platform::IClock* clock_ = nullptr;
};

// "h:mm:ss:ms" of a duration in milliseconds, e.g. 61001 -> "0:01:01:001".
// A negative duration is written as 0.
std::string FormatElapsedTime(std::int64_t ms);

// "Updater log for " + application name + ".txt"; separators inside the name
// become '_' so that the log stays inside the folder it is meant for.
std::string LogFileName(std::string_view application_name);
