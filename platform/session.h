#pragma once
// Whether an interactive user is present: a graphical session that is not locked.

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace platform {

// Reads one environment variable; nullopt when it is not set.
using SessionEnvironment = std::function<std::optional<std::string>(const std::string& name)>;
// Asks the login manager for one property of a session ("Type", "Active",
// "LockedHint"); nullopt when it cannot tell.
using SessionPropertyQuery = std::function<std::optional<std::string>(const std::string& session_id,
                                                                      const std::string& property)>;

// True when the text is a usable login session id: 1 to 64 letters, digits,
// '_' or '-', beginning with a letter or digit.
bool IsValidSessionId(const std::string& id);

// The decision from the given environment and login-manager answers:
// - graphical: WAYLAND_DISPLAY or DISPLAY is set and not empty; otherwise the
//   session named by XDG_SESSION_ID is active ("yes") and of type x11, wayland or mir;
// - not locked: the session's LockedHint is not "yes" (an unknown answer counts
//   as unlocked).
bool IsInteractiveSessionAvailable(const SessionEnvironment& environment,
                                   const SessionPropertyQuery& query);

// The same for this process: its environment and the login manager ("loginctl",
// run with an argument vector, its answer read with a bound of size and time).
bool IsInteractiveSessionAvailable();

// One property of a login session through "loginctl show-session <id> -p <property>
// --value"; nullopt when loginctl is missing, fails, or does not answer within the
// time-out. The answer is cut at its first line end and bounded to 256 bytes.
std::optional<std::string> QueryLoginSessionProperty(
    const std::string& session_id, const std::string& property,
    std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));

}  // namespace platform
