#include "platform/system_log.h"

#include <syslog.h>

namespace platform {

void WriteSystemLog(const std::string& program, const std::string& text) {
  // openlog keeps the pointer to the name until closelog.
  const std::string name = program;
  ::openlog(name.c_str(), LOG_PID, LOG_USER);
  ::syslog(LOG_WARNING, "%s", text.c_str());
  ::closelog();
}

}  // namespace platform
