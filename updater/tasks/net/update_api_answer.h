#pragma once
// The version query to the vendor's update API: the address asked and how its
// answer changes the update file. The answer is a JSON object such as
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
// Longest version text an answer may name.
inline constexpr std::size_t kMaxUpdateApiVersionLength = 64;
// Longest download address an answer may name.
inline constexpr std::size_t kMaxUpdateApiUrlLength = 2048;

// True for a host name, an IPv4 address or a bracketed IPv6 address, each
// optionally followed by ":port" (1 to 65535): letters, digits, '-' and '.'
// only, labels of at most 63 and names of at most 253 characters.
bool IsValidApiHost(std::string_view host);

// "https://" + host + "/app/getUpdate/browser2/win?v=" + the application
// version, every byte of the version outside letters, digits, "-", ".", "_"
// and "~" percent-encoded. "" when the host is not valid (IsValidApiHost).
std::string UpdateApiUrl(std::string_view host, std::string_view application_version);

// True for 1 to kMaxUpdateApiVersionLength letters, digits, '.', '-' and '_'.
bool IsPlainVersionText(std::string_view version);

// What an answer says; a value the answer lacks, or gives in a form that is
// not accepted, is left out.
struct UpdateApiAnswer {
  // "hasUpdate": JSON true/false, or the words "true"/"false" in any case.
  std::optional<bool> has_update;
  // "version": a string that is a plain version text (IsPlainVersionText).
  std::optional<std::string> version;
  // "url": JSON null or the word "null" in any case.
  bool url_null = false;
  // "url": an http or https address of at most kMaxUpdateApiUrlLength bytes.
  std::optional<std::string> url;
  // Why a value that was present was not taken, or why the whole answer was
  // not read (for the log); empty when nothing was refused.
  std::string refused;
};

// Reads the answer as JSON. Only the keys "hasUpdate", "version" and "url" of
// the top-level object count, matched exactly; a key given twice counts with
// its later value. An empty text, one longer than kMaxUpdateApiAnswerBytes,
// one that is not JSON or whose top level is no object gives no values.
UpdateApiAnswer ParseUpdateApiAnswer(std::string_view text);

// Applies the answer to the update file:
// - hasUpdate false, or url null: the version becomes kNoUpdateVersion;
// - hasUpdate true with a version: the version becomes it, and an url replaces
//   the first location of the first download action of every file whose
//   update_needed is set;
// - otherwise (hasUpdate missing, or true without an accepted version)
//   nothing changes.
void ApplyUpdateApiAnswer(const UpdateApiAnswer& answer, CUpdateFileData& data);
