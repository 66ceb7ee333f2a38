#include "platform/session.h"

#include "platform/win32/wide.h"

namespace platform {

// A user is present when this process can open the desktop that receives the
// input: a locked workstation, a screen saver's desktop or a session without
// a console (a service, a disconnected remote session) refuse it.
bool IsInteractiveSessionAvailable() {
  HDESK desktop = ::OpenInputDesktop(0, FALSE, DESKTOP_SWITCHDESKTOP);
  if (!desktop) return false;
  // SwitchDesktop fails while the workstation is locked.
  const bool usable = ::SwitchDesktop(desktop) != 0;
  ::CloseDesktop(desktop);
  return usable;
}

// Windows has no login manager to ask.
std::optional<std::string> QueryLoginSessionProperty(const std::string&, const std::string&,
                                                     std::chrono::milliseconds) {
  return std::nullopt;
}

}  // namespace platform
