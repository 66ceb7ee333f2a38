#pragma once
// Text rules of the release tool: which version texts, web addresses and
// relative paths it accepts, and how it writes them into the update file so
// that the updater's reader gives back exactly what was meant.
//
// The reader takes element text as written (entity references are not
// decoded) and substitutes constants and folder placeholders in every value.
// So element text carries "&", "<" and ">" through three constants that the
// update file defines (kTextConstants), and a path that the reader would
// change by substitution is refused.

#include <array>
#include <optional>
#include <string>
#include <string_view>

// A constant of the written update file: its name in the file ("%...%") and
// the character it stands for.
struct TextConstant {
  std::string_view name;
  char character;
};
inline constexpr std::array<TextConstant, 3> kTextConstants = {{
    {"%velmora_amp%", '&'},
    {"%velmora_lt%", '<'},
    {"%velmora_gt%", '>'},
}};

// Longest relative path (bytes) and application name the tool accepts.
inline constexpr std::size_t kMaxRelativePathBytes = 4096;
inline constexpr std::size_t kMaxApplicationNameBytes = 200;
inline constexpr std::size_t kMaxBaseUrlBytes = 2048;

// A dotted version: one to four parts of one to nine decimal digits each,
// separated by single dots ("2", "2.5", "2.5.0.1").
bool IsDottedVersion(std::string_view text);

// Why the web address cannot be the base of the download locations; nullopt
// when it can. Accepted: "http://" or "https://" (any letter case) with a
// host, printable ASCII only, no blank, quote, "<", ">", "&", backslash,
// query ("?") or fragment ("#"), nothing the updater's substitution would
// replace, at most kMaxBaseUrlBytes.
std::optional<std::string> BaseUrlProblem(std::string_view url);

// Why a relative path (components joined by "/") cannot be described in an
// update file; nullopt when it can. Refused: empty, longer than
// kMaxRelativePathBytes, not UTF-8, control characters, a backslash (the
// updater reads it as a separator), components that are empty or made of dots
// and blanks only ("." and ".." among them), and texts
// that the reader's substitution would change (placeholders, or the names of
// the tool's constants).
std::optional<std::string> RelativePathProblem(std::string_view relative);

// Why the application name cannot name a section; nullopt when it can:
// empty, longer than kMaxApplicationNameBytes, not UTF-8, control characters,
// or a text that the reader's substitution would change.
std::optional<std::string> ApplicationNameProblem(std::string_view name);

// The path percent-encoded for a web address: the unreserved characters
// (letters, digits, "-", ".", "_", "~") and "/" stay, every other byte of the
// UTF-8 text becomes "%" and two upper-case hex digits.
std::string PercentEncodePath(std::string_view relative);

// The text written between the tags of an element: "&", "<" and ">" become
// the names of the tool's constants. `used` (when given) gets true when a
// constant was written.
std::string ElementText(std::string_view value, bool* used = nullptr);

// What the reader makes of a value with respect to the tool's constants: each
// constant name, in order, replaced by its character.
std::string ApplyTextConstants(std::string_view value);

// The name a published file is downloaded to inside the updater's temporary
// folder: the index (four digits at least), "-", and the file name with every
// character other than ASCII letters, digits, ".", "-" and "_" turned into
// "_", cut to 64 characters; ".download" is added when that name holds no
// ".", since the reader takes a destination without an extension as a folder.
std::string TemporaryDownloadName(std::size_t index, std::string_view relative);
