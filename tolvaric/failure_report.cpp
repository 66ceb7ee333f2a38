#include "tolvaric/failure_report.h"

#include <iostream>

#include "platform/message_box.h"
#include "platform/system_log.h"

void ReportCopyFailure(const std::string& caption, const std::string& text,
                       const std::string& detail) {
  if (platform::ShowWarningMessage(caption, text)) return;
  const std::string line = text + " (" + detail + ")";
  std::cerr << caption << ": " << line << std::endl;
  platform::WriteSystemLog(caption, line);
}
