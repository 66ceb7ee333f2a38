#pragma once
// Proxy credentials and the question for them when a proxy answers 407.
//
// The internet layer never shows a window itself: when a proxy asks for
// authentication and the stored user name or password is empty, it calls the
// question that was installed. It is called on the transfer's thread with a
// cancel signal that CInternet::Abort cancels; the run's question asks the
// update process by message and waits for the answer together with that
// signal (proxy_question.h), and returns what was entered, or nothing when the
// user said no. In the hidden mode nobody is asked: the question made for that
// mode answers "no" at once.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "updater/core/text.h"
#include "updater/tasks/cancel_signal.h"

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
// The same, waiting for the answer together with cancel (a cancel answers no).
using ProxyCredentialsQuestion =
    std::function<std::optional<ProxyCredentials>(CCancelSignal& cancel)>;

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
