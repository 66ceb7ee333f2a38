#pragma once
// The updater's command line: a small parser of options with values, and the
// two passes that use it (find the settings file; override the settings).

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

class DoubleParametersException : public std::exception {
 public:
  const char* what() const noexcept override { return "Parameters are used twice"; }
};

class UnknownParameterException : public std::exception {
 public:
  const char* what() const noexcept override { return "Unknown parameters are used"; }
};

class ValueExpectedException : public std::exception {
 public:
  const char* what() const noexcept override { return "Value was expected, but none was given"; }
};

class WrongTypeException : public std::exception {
 public:
  const char* what() const noexcept override { return "Wrong parameter type is used"; }
};

// Value types of an option.
enum CommandLineValueType : int {
  kValueString = 0,
  kValueInteger = 1,
  kValueBoolean = 2,
  kValueStringAlt = 3,  // checked like a string
};

// An option descriptor, or an option found on the command line (then `name` is
// the descriptor's name as declared and `value` the value without quotes).
struct CommandLineOption {
  std::string name;
  std::string value;
  bool takes_value = false;
  int value_type = kValueString;
};

class CCommandLineParser {
 public:
  // Most descriptors, and most results, that a parser holds.
  static constexpr std::size_t kCapacity = 256;

  // Appends a descriptor; refused (false) when the table is full.
  bool AddOption(std::string_view name, bool takes_value, int value_type);
  // Names are compared without regard to ASCII case unless switched on.
  void SetCaseSensitive(bool on) { case_sensitive_ = on; }

  // Parses a UTF-8 command line. Throws one of the four exceptions above;
  // results stored before the throw stay, but the parser should then be dropped.
  void Parse(std::string_view command_line);

  std::size_t OptionCount() const { return options_.size(); }
  std::size_t ResultCount() const { return results_.size(); }
  // The result at an index below ResultCount(), in command-line order.
  const CommandLineOption& Result(std::size_t index) const { return results_.at(index); }

 private:
  bool NamesEqual(std::string_view a, std::string_view b) const;
  // The descriptor for a token, or nullptr.
  const CommandLineOption* Find(std::string_view token) const;
  void Store(const CommandLineOption& option, std::string value);

  std::vector<CommandLineOption> options_;
  std::vector<CommandLineOption> results_;
  bool case_sensitive_ = false;
};

// Whether a value passes the check of its type.
bool IsValidOptionValue(std::string_view value, int value_type);

// Declares the updater's 21 options in their fixed order.
void AddUpdaterOptions(CCommandLineParser& parser);

// First pass: the value of "-settingsfile" (backslashes read as separators),
// or "" when it is not given. Throws the parser's exceptions.
std::string FindSettingsFileOption(std::string_view command_line);

// Second pass: applies every option, in command-line order, to the settings,
// then fills the credential placeholders of the update file's location.
// Throws the parser's exceptions; then nothing has been applied.
void ApplyCommandLine(std::string_view command_line);

// The raw command line from the program's arguments (without the program
// name): the arguments joined by blanks, one that is empty or holds a blank
// written in double quotes.
std::string JoinCommandLine(const std::vector<std::string>& arguments);
std::string JoinCommandLine(int argc, char** argv);
