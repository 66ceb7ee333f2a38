#pragma once
// The copy program's run: it waits until the updater that started it has
// ended, then puts the new updater program in place of the old one, and tells
// the user when that failed. It never retries.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "platform/status.h"

class CCopyProgram {
 public:
  // How long the updater is given to end before its program file is replaced.
  static constexpr std::chrono::milliseconds kWaitBeforeCopy{3000};
  // The warning the user sees when the copy failed.
  static constexpr const char* kCaption = "Tolvaric";
  static constexpr const char* kFailureText = "An error occurred when updating Updater!";

  // What the run needs from the world.
  struct Deps {
    std::function<void(std::chrono::milliseconds)> wait;
    // Puts the source file in place of the destination.
    std::function<platform::Status(const std::string& source, const std::string& destination)>
        replace;
    // Shows the failure (caption, text) and a detail for the system's records;
    // returns when the user has seen it.
    std::function<void(const std::string& caption, const std::string& text,
                       const std::string& detail)>
        report_failure;
  };

  explicit CCopyProgram(Deps deps);

  // One run for the command-line text after the program name (nullopt: a
  // command line that could not be taken as text). Arguments that cannot be
  // used are reported at once, without the wait. Returns the exit code: 0 when
  // the program file was replaced, 1 after a reported failure.
  int Run(const std::optional<std::string>& command_line);

 private:
  int Fail(const std::string& detail);

  Deps deps_;
};
