#include "updater/tasks/net/update_api_answer.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "updater/core/text.h"
#include "updater/description/update_file_data.h"
#include "updater/tasks/net/http_request.h"

namespace {

using Json = nlohmann::json;

constexpr char kKeyHasUpdate[] = "hasUpdate";
constexpr char kKeyVersion[] = "version";
constexpr char kKeyUrl[] = "url";

constexpr std::size_t kMaxHostNameLength = 253;
constexpr std::size_t kMaxHostLabelLength = 63;
constexpr std::size_t kMaxIpv6Length = 45;

bool IsAsciiLetterOrDigit(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool IsUnreservedQueryChar(char c) {
  return IsAsciiLetterOrDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool IsHostName(std::string_view name) {
  if (name.empty() || name.size() > kMaxHostNameLength) return false;
  std::size_t label = 0;
  for (char c : name) {
    if (c == '.') {
      if (label == 0) return false;
      label = 0;
    } else if (IsAsciiLetterOrDigit(c) || c == '-') {
      if (++label > kMaxHostLabelLength) return false;
    } else {
      return false;
    }
  }
  return label > 0;
}

bool IsBracketedIpv6(std::string_view text) {
  if (text.size() < 4 || text.size() > kMaxIpv6Length + 2 || text.front() != '[' ||
      text.back() != ']')
    return false;
  const std::string_view inner = text.substr(1, text.size() - 2);
  if (inner.find(':') == std::string_view::npos) return false;
  for (char c : inner) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex && c != ':' && c != '.') return false;
  }
  return true;
}

bool IsPort(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  int port = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= 65535;
}

bool IsHttpAddress(std::string_view url) {
  if (url.size() > kMaxUpdateApiUrlLength) return false;
  for (char c : url)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  const std::string scheme = UrlScheme(url);
  return (scheme == "http" || scheme == "https") && !NormalizeHttpUrl(url).empty();
}

void Refuse(UpdateApiAnswer& answer, std::string_view why) {
  if (!answer.refused.empty()) answer.refused += "; ";
  answer.refused += why;
}

void ReadHasUpdate(const Json& value, UpdateApiAnswer& answer) {
  if (value.is_boolean()) {
    answer.has_update = value.get<bool>();
  } else if (value.is_string() && EqualsNoCase(value.get_ref<const std::string&>(), "true")) {
    answer.has_update = true;
  } else if (value.is_string() && EqualsNoCase(value.get_ref<const std::string&>(), "false")) {
    answer.has_update = false;
  } else {
    // Another word counts as no answer to the question.
    answer.has_update.reset();
  }
}

void ReadVersion(const Json& value, UpdateApiAnswer& answer) {
  answer.version.reset();
  if (value.is_string() && IsPlainVersionText(value.get_ref<const std::string&>())) {
    answer.version = value.get<std::string>();
  } else {
    Refuse(answer, "the version is not a plain version text");
  }
}

void ReadUrl(const Json& value, UpdateApiAnswer& answer) {
  answer.url_null = false;
  answer.url.reset();
  if (value.is_null()) {
    answer.url_null = true;
  } else if (value.is_string() && EqualsNoCase(value.get_ref<const std::string&>(), "null")) {
    answer.url_null = true;
  } else if (value.is_string() && IsHttpAddress(value.get_ref<const std::string&>())) {
    answer.url = value.get<std::string>();
  } else {
    Refuse(answer, "the url is not an http or https address");
  }
}

}  // namespace

bool IsValidApiHost(std::string_view host) {
  std::string_view name = host;
  const std::size_t bracket = host.rfind(']');
  const std::size_t colon = host.rfind(':');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    if (!IsPort(host.substr(colon + 1))) return false;
    name = host.substr(0, colon);
  }
  return IsHostName(name) || IsBracketedIpv6(name);
}

std::string UpdateApiUrl(std::string_view host, std::string_view application_version) {
  if (!IsValidApiHost(host)) return {};
  std::string url = "https://" + std::string(host) + "/app/getUpdate/browser2/win?v=";
  for (char c : application_version) {
    if (IsUnreservedQueryChar(c)) {
      url += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      url += escaped;
    }
  }
  return url;
}

bool IsPlainVersionText(std::string_view version) {
  if (version.empty() || version.size() > kMaxUpdateApiVersionLength) return false;
  for (char c : version)
    if (!IsAsciiLetterOrDigit(c) && c != '.' && c != '-' && c != '_') return false;
  return true;
}

UpdateApiAnswer ParseUpdateApiAnswer(std::string_view text) {
  UpdateApiAnswer answer;
  if (text.empty()) return answer;
  if (text.size() > kMaxUpdateApiAnswerBytes) {
    Refuse(answer, "the answer is too long");
    return answer;
  }
  // No exceptions: a text that is not JSON (or not UTF-8) is discarded.
  const Json json = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (json.is_discarded() || !json.is_object()) {
    Refuse(answer, "the answer is not a JSON object");
    return answer;
  }
  for (const auto& [key, value] : json.items()) {
    if (key == kKeyHasUpdate) {
      ReadHasUpdate(value, answer);
    } else if (key == kKeyVersion) {
      ReadVersion(value, answer);
    } else if (key == kKeyUrl) {
      ReadUrl(value, answer);
    }
  }
  return answer;
}

void ApplyUpdateApiAnswer(const UpdateApiAnswer& answer, CUpdateFileData& data) {
  if (answer.has_update == false || answer.url_null) {
    data.version = kNoUpdateVersion;
    return;
  }
  // An update without a usable version cannot be judged: nothing changes.
  if (answer.has_update != true || !answer.version) return;
  data.version = *answer.version;
  if (!answer.url) return;
  for (CFileData& file : data.files) {
    if (!file.update_needed) continue;
    for (FileAction& action : file.actions) {
      auto* found = std::get_if<CFileActionDownload>(&action);
      if (!found) continue;
      CFileActionDownload& download = *found;
      // An action without a location has no destination either: left alone.
      if (!download.locations.empty()) download.locations.front() = *answer.url;
      break;
    }
  }
}
