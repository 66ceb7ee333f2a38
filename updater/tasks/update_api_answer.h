#pragma once
// The version query to the vendor's update API: the address asked and how its
// answer changes the update file. The answer is a flat JSON object such as
//
//   {"hasUpdate":true,"version":"2.0.1","url":"https://host/setup.bin"}

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class CUpdateFileData;

// Longest answer that is looked at; a longer one is ignored as a whole.
inline constexpr std::size_t kMaxUpdateApiAnswerBytes = 64 * 1024;
// The version the update file gets when the API says there is nothing new.
inline constexpr char kNoUpdateVersion[] = "1.0.0";

// "https://" + host + "/app/getUpdate/browser2/win?v=" + the application
// version. Characters of the version that may not stand in a query value are
// percent-encoded; the usual version texts pass unchanged.
std::string UpdateApiUrl(std::string_view host, std::string_view application_version);

// The values of an answer, as text; a value the answer lacks is nullopt.
struct UpdateApiAnswer {
  std::optional<std::string> has_update;
  std::optional<std::string> version;
  std::optional<std::string> url;
};

// Reads the answer: double quotes and braces are dropped, the rest is split at
// commas into "key:value" pairs (the value is everything after the first
// colon, with surrounding white space removed). Only the keys "hasUpdate",
// "version" and "url" count, matched exactly; a later pair overrides an
// earlier one. An empty or overlong answer gives no values.
UpdateApiAnswer ParseUpdateApiAnswer(std::string_view text);

// Applies the answer to the update file (letter case of the words ignored):
// - hasUpdate "false", or url "null": the version becomes kNoUpdateVersion;
// - hasUpdate "true": the version becomes the answer's version, and when the
//   url is an http or https address, it replaces the first location of the
//   first download action of every file whose update_needed is set;
// - otherwise nothing changes.
void ApplyUpdateApiAnswer(const UpdateApiAnswer& answer, CUpdateFileData& data);
