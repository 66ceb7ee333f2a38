#pragma once
// Proxy credentials and the question for them when a proxy answers 407.
//
// The internet layer never shows a window itself: when a proxy asks for
// authentication and the stored user name or password is empty, it calls the
// prompt that the update process installed. The prompt asks the user through
// the dialog service (it is called on the task's thread and must wait together
// with the task's cancel signal) and returns what was entered, or nothing when
// the user cancelled. In the hidden mode no dialog is ever shown: the prompt
// made for that mode answers "no" at once.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "updater/core/text.h"

struct ProxyCredentials {
  std::string user_name;
  std::string password;

  // Both parts are given; only then are they sent.
  bool Complete() const { return !user_name.empty() && !password.empty(); }
  bool operator==(const ProxyCredentials&) const = default;
};

// The longest user name or password that is used (longer ones are cut, in
// UTF-16 code units as the settings count them).
inline constexpr std::size_t kMaxCredentialLength = 1023;

inline ProxyCredentials BoundedCredentials(std::string_view user_name, std::string_view password) {
  return {TruncateUtf16(user_name, kMaxCredentialLength),
          TruncateUtf16(password, kMaxCredentialLength)};
}

// Asks the user for proxy credentials; nullopt when none were given.
using ProxyCredentialsPrompt = std::function<std::optional<ProxyCredentials>()>;

// The prompt for a run mode: in the hidden mode it never asks and answers no;
// otherwise it asks through ask (an empty ask answers no as well).
inline ProxyCredentialsPrompt MakeProxyCredentialsPrompt(std::string_view run_mode,
                                                         ProxyCredentialsPrompt ask) {
  if (EqualsNoCase(run_mode, "hidden") || !ask)
    return [] { return std::optional<ProxyCredentials>(); };
  return [ask = std::move(ask)]() -> std::optional<ProxyCredentials> {
    auto answer = ask();
    if (!answer) return std::nullopt;
    return BoundedCredentials(answer->user_name, answer->password);
  };
}
