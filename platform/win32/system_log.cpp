#include "platform/system_log.h"

#include "platform/win32/wide.h"

namespace platform {

// The application event log, with the program as the source.
void WriteSystemLog(const std::string& program, const std::string& text) {
  HANDLE source = ::RegisterEventSourceW(nullptr, Widen(program).c_str());
  if (!source) return;
  const std::wstring message = Widen(text);
  const wchar_t* strings[] = {message.c_str()};
  ::ReportEventW(source, EVENTLOG_WARNING_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
  ::DeregisterEventSource(source);
}

}  // namespace platform
