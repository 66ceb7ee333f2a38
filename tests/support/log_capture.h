#pragma once
// Opens the process-wide log into a temporary file and reads its lines back.

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"

class LogCapture {
 public:
  LogCapture() {
    CUpdaterLog::ResetInstance();
    CUpdaterLog::Instance().Open(folder_ / "log.txt", false);
  }
  ~LogCapture() { CUpdaterLog::ResetInstance(); }

  // Every line written so far, without line ends.
  std::vector<std::string> Lines() const {
    std::string text =
        DecodeTextFile(platform::ReadFile(folder_ / "log.txt", 1 << 26).value_or(""));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  // The lines that equal one of the given texts, in log order.
  bool Contains(const std::string& line) const {
    for (const auto& l : Lines())
      if (l == line) return true;
    return false;
  }

 private:
  TempFolder folder_;
};
