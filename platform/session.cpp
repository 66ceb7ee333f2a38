// The decision whether an interactive user is present, the same on every
// platform; the system's answers come from platform/posix or platform/win32.

#include "platform/session.h"

namespace platform {
namespace {

constexpr std::size_t kMaxSessionIdLength = 64;

bool IsAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

}  // namespace

bool IsValidSessionId(const std::string& id) {
  if (id.empty() || id.size() > kMaxSessionIdLength || !IsAsciiAlnum(id.front())) return false;
  for (char c : id) {
    if (!IsAsciiAlnum(c) && c != '_' && c != '-') return false;
  }
  return true;
}

bool IsInteractiveSessionAvailable(const SessionEnvironment& environment,
                                   const SessionPropertyQuery& query) {
  auto is_set = [&](const char* name) {
    std::optional<std::string> value = environment(name);
    return value && !value->empty();
  };
  std::optional<std::string> session_id = environment("XDG_SESSION_ID");
  if (session_id && !IsValidSessionId(*session_id)) session_id.reset();

  bool graphical = is_set("WAYLAND_DISPLAY") || is_set("DISPLAY");
  if (!graphical && session_id) {
    std::optional<std::string> type = query(*session_id, "Type");
    std::optional<std::string> active = query(*session_id, "Active");
    graphical = type && (*type == "x11" || *type == "wayland" || *type == "mir") && active &&
                *active == "yes";
  }
  if (!graphical) return false;
  if (session_id) {
    std::optional<std::string> locked = query(*session_id, "LockedHint");
    if (locked && *locked == "yes") return false;
  }
  return true;
}

}  // namespace platform
