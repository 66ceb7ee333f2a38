#pragma once
// Freedesktop desktop entries (".desktop" files): writing values with the
// format's escapes so that no value can add a line or a key, quoting the
// arguments of the Exec key, and reading an entry back.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Largest desktop entry that is read.
inline constexpr std::size_t kMaxDesktopEntryBytes = 64 * 1024;

// Escapes a value of the string types: backslash, line feed, carriage return
// and tab become "\\", "\n", "\r", "\t", and a leading or trailing blank
// becomes "\s" (readers drop white space around a value). nullopt for a value that
// cannot be written: invalid UTF-8 or another control character.
std::optional<std::string> EscapeDesktopValue(std::string_view value);
// Undoes EscapeDesktopValue; an unknown escape keeps its backslash.
std::string UnescapeDesktopValue(std::string_view value);

// One argument of the Exec key, before the value escaping: always enclosed in
// double quotes, with '"', '`', '$' and '\' preceded by a backslash and '%'
// doubled (a single one would start a field code).
std::string QuoteExecArgument(std::string_view argument);
// The Exec value of an argument vector (program first), before the value escaping.
std::string FormatExecValue(const std::vector<std::string>& arguments);
// Splits an Exec value (after UnescapeDesktopValue) into its arguments;
// nullopt for an unterminated quote. Field codes other than "%%" are dropped.
std::optional<std::vector<std::string>> SplitExecValue(std::string_view exec);

// Builds the "[Desktop Entry]" group line by line.
class DesktopEntryWriter {
 public:
  DesktopEntryWriter();
  // Appends "key=value" with the value escaped; false (nothing appended) when
  // the value cannot be written.
  bool Add(std::string_view key, std::string_view value);
  // Appends the Exec key of an argument vector; false when it cannot be written.
  bool AddExec(const std::vector<std::string>& arguments);
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The keys and unescaped values of the "[Desktop Entry]" group; comments,
// blank lines and other groups are skipped, the first of a repeated key wins.
// nullopt when the text has no such group.
std::optional<std::map<std::string, std::string>> ParseDesktopEntry(std::string_view text);

}  // namespace platform
