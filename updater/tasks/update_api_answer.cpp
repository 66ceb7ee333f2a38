#include "updater/tasks/update_api_answer.h"

#include <cstdio>

#include "updater/core/text.h"
#include "updater/description/update_file_data.h"

namespace {

bool IsQueryValueChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~' || c == ',';
}

bool IsHttpAddress(std::string_view url) {
  const std::string lower = ToLower(url);
  return StartsWith(lower, "http://") || StartsWith(lower, "https://");
}

void Assign(std::string_view key, std::string value, UpdateApiAnswer& answer) {
  if (key == "hasUpdate") {
    answer.has_update = std::move(value);
  } else if (key == "version") {
    answer.version = std::move(value);
  } else if (key == "url") {
    answer.url = std::move(value);
  }
}

}  // namespace

std::string UpdateApiUrl(std::string_view host, std::string_view application_version) {
  std::string url = "https://" + std::string(host) + "/app/getUpdate/browser2/win?v=";
  for (char c : application_version) {
    if (IsQueryValueChar(c)) {
      url += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
      url += escaped;
    }
  }
  return url;
}

UpdateApiAnswer ParseUpdateApiAnswer(std::string_view text) {
  UpdateApiAnswer answer;
  if (text.empty() || text.size() > kMaxUpdateApiAnswerBytes) return answer;
  std::string cleaned;
  cleaned.reserve(text.size());
  for (char c : text)
    if (c != '"' && c != '{' && c != '}') cleaned += c;

  std::string_view rest = cleaned;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    const std::string_view token = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    const std::size_t colon = token.find(':');
    if (colon == std::string_view::npos) continue;
    Assign(TrimWhitespace(token.substr(0, colon)), TrimWhitespace(token.substr(colon + 1)), answer);
  }
  return answer;
}

void ApplyUpdateApiAnswer(const UpdateApiAnswer& answer, CUpdateFileData& data) {
  const std::string has_update = answer.has_update.value_or("");
  if (EqualsNoCase(has_update, "false") || EqualsNoCase(answer.url.value_or(""), "null")) {
    data.version = kNoUpdateVersion;
    return;
  }
  if (!EqualsNoCase(has_update, "true")) return;
  data.version = answer.version.value_or("");
  if (!answer.url || !IsHttpAddress(*answer.url)) return;
  for (CFileData& file : data.files) {
    if (!file.update_needed) continue;
    for (auto& action : file.actions) {
      if (action->type != kFileActionDownload) continue;
      auto& download = static_cast<CFileActionDownload&>(*action);
      // An action without a location has no destination either: left alone.
      if (!download.locations.empty()) download.locations.front() = *answer.url;
      break;
    }
  }
}
