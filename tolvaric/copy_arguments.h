#pragma once
// The command line of the copy program: two paths, the new program file and
// the program file it replaces, each usually enclosed in double quotes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The two paths of one copy.
struct CopyArguments {
  std::string source;       // the new program file
  std::string destination;  // the program file to replace
};

// Longest path accepted from the command line, in bytes.
inline constexpr std::size_t kMaxCopyArgumentBytes = 4096;

// Takes the next argument off the front of text. An argument that begins with
// a double quote ends at the next double quote; any other ends at the next
// blank (both searched from its second character on); without such an end it
// runs to the end of the text. Every double quote is removed from the
// argument. The argument, its end character and the white space after it are
// taken off text. nullopt when text is empty.
std::optional<std::string> TakeCopyArgument(std::string_view& text);

// The source and destination from the command-line text that follows the
// program name (leading white space is skipped). Anything after the second
// argument is ignored. nullopt when an argument is missing, empty or longer
// than kMaxCopyArgumentBytes.
std::optional<CopyArguments> ParseCopyArguments(std::string_view command_line);
