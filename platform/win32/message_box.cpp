#include "platform/message_box.h"

#include "platform/win32/wide.h"

namespace platform {

// Windows shows the warning itself; no dialog program is involved.
std::vector<std::string> WarningDialogArguments(std::string_view, const std::string&,
                                                const std::string&) {
  return {};
}

Status ShowWarningMessage(const std::string& caption, const std::string& text) {
  const int answer = ::MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(),
                                   MB_OK | MB_ICONWARNING | MB_SETFOREGROUND | MB_TOPMOST);
  if (answer == 0) return Status::Fail("cannot show the warning: " + ErrorText(::GetLastError()));
  return Status::Ok();
}

}  // namespace platform
