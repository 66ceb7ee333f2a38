#include "updater/core/command_line_parser.h"

#include "platform/file_system.h"
#include "updater/core/text.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"

namespace {

// Removes blanks (U+0020 only) from both ends.
std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// Removes every double quote at both ends; inner quotes stay.
std::string_view Unquote(std::string_view text) {
  while (!text.empty() && text.front() == '"') text.remove_prefix(1);
  while (!text.empty() && text.back() == '"') text.remove_suffix(1);
  return text;
}

// The text up to the first blank, or all of it.
std::string_view TokenUpToBlank(std::string_view text) { return text.substr(0, text.find(' ')); }

// The next token honouring quotes: one that begins with a double quote runs up
// to and including the next double quote, or to the end when there is none.
std::string_view QuotedToken(std::string_view text) {
  if (text.empty() || text.front() != '"') return TokenUpToBlank(text);
  std::size_t close = text.find('"', 1);
  return close == std::string_view::npos ? text : text.substr(0, close + 1);
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

// Path values from the command line may be written for Windows; web addresses stay as given.
std::string PathValue(const std::string& value) { return platform::NormalizeSeparators(value); }
std::string LocationValue(const std::string& value) {
  return IsWebValue(value) ? value : PathValue(value);
}

}  // namespace

bool CCommandLineParser::AddOption(std::string_view name, bool takes_value, int value_type) {
  // An empty name would be a prefix of every token.
  if (name.empty() || options_.size() >= kCapacity) return false;
  options_.push_back(CommandLineOption{std::string(name), "", takes_value, value_type});
  return true;
}

bool CCommandLineParser::NamesEqual(std::string_view a, std::string_view b) const {
  return case_sensitive_ ? a == b : EqualsAsciiNoCase(a, b);
}

const CommandLineOption* CCommandLineParser::Find(std::string_view token) const {
  const CommandLineOption* found = nullptr;
  for (const auto& option : options_) {
    if (NamesEqual(token, option.name)) found = &option;
  }
  if (found) return found;
  for (const auto& option : options_) {
    if (token.size() >= option.name.size() &&
        NamesEqual(token.substr(0, option.name.size()), option.name)) {
      found = &option;
    }
  }
  return found;
}

void CCommandLineParser::Store(const CommandLineOption& option, std::string value) {
  for (const auto& result : results_) {
    if (NamesEqual(result.name, option.name)) throw DoubleParametersException();
  }
  // Each result stands for a different descriptor, so with at most kCapacity
  // descriptors this cannot be reached; it guards the bound all the same.
  if (results_.size() >= kCapacity) throw DoubleParametersException();
  results_.push_back(
      CommandLineOption{option.name, std::move(value), option.takes_value, option.value_type});
}

void CCommandLineParser::Parse(std::string_view command_line) {
  // A command line of blanks only is an empty one.
  std::string_view rest = Trim(command_line);
  while (!rest.empty()) {
    std::string_view token = TokenUpToBlank(rest);
    rest = token.size() < rest.size() ? Trim(rest.substr(token.size() + 1)) : std::string_view();

    const CommandLineOption* option = Find(token);
    if (!option) throw UnknownParameterException();
    // No "=" syntax: whatever follows the name in the same token is its value.
    std::string_view attached = token.substr(option->name.size());

    std::string value;
    if (option->takes_value) {
      if (!attached.empty()) {
        value = std::string(Unquote(attached));
      } else {
        std::string_view next = QuotedToken(rest);
        rest.remove_prefix(next.size());
        value = std::string(Unquote(next));
      }
      if (value.empty()) throw ValueExpectedException();
      if (!IsValidOptionValue(value, option->value_type)) throw WrongTypeException();
    } else if (!attached.empty()) {
      throw UnknownParameterException();
    }
    Store(*option, std::move(value));
    rest = Trim(rest);
  }
}

bool IsValidOptionValue(std::string_view value, int value_type) {
  switch (value_type) {
    case kValueString:
    case kValueStringAlt:
      return true;
    case kValueInteger:
      return Trim(value) == "0" || StringToInt(value) != 0;
    case kValueBoolean: {
      std::string lower = ToLower(Trim(value));
      return lower == "yes" || lower == "no" || lower == "true" || lower == "false" ||
             value == "1" || value == "0";
    }
    default:
      return false;
  }
}

void AddUpdaterOptions(CCommandLineParser& parser) {
  struct Declaration {
    const char* name;
    bool takes_value;
    int value_type;
  };
  static constexpr Declaration kOptions[] = {
      {"-language", true, kValueString},         {"-updatefile", true, kValueString},
      {"-timeout", true, kValueInteger},         {"-appname", true, kValueString},
      {"-appversion", true, kValueString},       {"-applocation", true, kValueString},
      {"-approot", true, kValueString},          {"-mode", true, kValueString},
      {"-ftpusername", true, kValueString},      {"-ftppassword", true, kValueString},
      {"-httpusername", true, kValueString},     {"-httppassword", true, kValueString},
      {"-checkconnection", true, kValueBoolean}, {"-selfupdatelocation", true, kValueString},
      {"-updateselector", true, kValueString},   {"-settingsfile", true, kValueString},
      {"-restore", false, kValueString},         {"-proxysettings", false, kValueString},
      {"-service", false, kValueString},         {"-log", false, kValueString},
      {"-checkforupdates", false, kValueString},
  };
  for (const auto& option : kOptions) {
    parser.AddOption(option.name, option.takes_value, option.value_type);
  }
}

std::string FindSettingsFileOption(std::string_view command_line) {
  CCommandLineParser parser;
  AddUpdaterOptions(parser);
  parser.Parse(command_line);
  for (std::size_t i = 0; i < parser.ResultCount(); ++i) {
    const CommandLineOption& result = parser.Result(i);
    if (result.name == "-settingsfile") return PathValue(result.value);
  }
  return "";
}

void ApplyCommandLine(std::string_view command_line) {
  CCommandLineParser parser;
  AddUpdaterOptions(parser);
  parser.Parse(command_line);

  CUpdaterSettings& settings = CUpdaterSettings::Instance();
  SettingsValues& values = settings.MutableValues();
  for (std::size_t i = 0; i < parser.ResultCount(); ++i) {
    const std::string& name = parser.Result(i).name;
    const std::string& value = parser.Result(i).value;
    if (name == "-language") {
      values.language = value;
    } else if (name == "-updatefile") {
      values.url = LocationValue(value);
    } else if (name == "-timeout") {
      values.server_timeout = StringToInt(value);
    } else if (name == "-appname") {
      values.name = value;
    } else if (name == "-appversion") {
      values.version = value;
    } else if (name == "-applocation") {
      values.location = PathValue(value);
    } else if (name == "-approot") {
      values.root = PathValue(value);
    } else if (name == "-mode") {
      values.run_mode = value;
    } else if (name == "-ftpusername") {
      values.ftp_username = value;
    } else if (name == "-ftppassword") {
      values.ftp_password = value;
    } else if (name == "-httpusername") {
      values.http_username = value;
    } else if (name == "-httppassword") {
      values.http_password = value;
    } else if (name == "-checkconnection") {
      values.check_connection = ToLower(value) == "true";
    } else if (name == "-selfupdatelocation") {
      values.self_update = LocationValue(value);
    } else if (name == "-updateselector") {
      values.update_selector = value;
    } else if (name == "-settingsfile") {
      settings.SetFilePath(PathValue(value));
    }
    // -restore, -proxysettings, -service, -log and -checkforupdates have no effect.
  }
  values.url = ReplaceCredentialPlaceholders(values.url);
}

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (i > 0) line += ' ';
    if (argument.empty() || argument.find(' ') != std::string::npos) {
      line += '"' + argument + '"';
    } else {
      line += argument;
    }
  }
  return line;
}

std::string JoinCommandLine(int argc, char** argv) {
  std::vector<std::string> arguments;
  if (argv) {
    for (int i = 1; i < argc && argv[i]; ++i) arguments.emplace_back(argv[i]);
  }
  return JoinCommandLine(arguments);
}
