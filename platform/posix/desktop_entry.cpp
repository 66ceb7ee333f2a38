#include "platform/posix/desktop_entry.h"

#include <utility>

#include "platform/utf8.h"

namespace platform {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::string> EscapeDesktopValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  std::size_t i = 0;
  while (i < value.size()) {
    const char c = value[i];
    const std::size_t length = DecodeUtf8At(value, i).length;
    if (length == 0) return std::nullopt;
    if (length > 1) {
      out.append(value.substr(i, length));
      i += length;
      continue;
    }
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case ' ':
        out += (i == 0 || i + 1 == value.size()) ? "\\s" : " ";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
        out += c;
    }
    ++i;
  }
  return out;
}

std::string UnescapeDesktopValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[i + 1]) {
      case 's':
        out += ' ';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += value[i + 1];
    }
    ++i;
  }
  return out;
}

std::string QuoteExecArgument(std::string_view argument) {
  std::string out = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  out += '"';
  return out;
}

std::string FormatExecValue(const std::vector<std::string>& arguments) {
  std::string out;
  for (const std::string& argument : arguments) {
    if (!out.empty()) out += ' ';
    out += QuoteExecArgument(argument);
  }
  return out;
}

std::optional<std::vector<std::string>> SplitExecValue(std::string_view exec) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '\\' && i + 1 < exec.size()) {
        current += exec[++i];
      } else if (c == '"') {
        quoted = false;
      } else if (c == '%' && i + 1 < exec.size()) {
        if (exec[++i] == '%') current += '%';
      } else {
        current += c;
      }
      continue;
    }
    if (c == ' ') {
      if (in_argument) arguments.push_back(std::exchange(current, {}));
      in_argument = false;
    } else if (c == '"') {
      quoted = true;
      in_argument = true;
    } else if (c == '%' && i + 1 < exec.size()) {
      if (exec[++i] == '%') {
        current += '%';
        in_argument = true;
      }
    } else {
      current += c;
      in_argument = true;
    }
  }
  if (quoted) return std::nullopt;
  if (in_argument) arguments.push_back(std::move(current));
  return arguments;
}

DesktopEntryWriter::DesktopEntryWriter() : text_("[Desktop Entry]\n") {}

bool DesktopEntryWriter::Add(std::string_view key, std::string_view value) {
  std::optional<std::string> escaped = EscapeDesktopValue(value);
  if (!escaped) return false;
  text_.append(key);
  text_ += '=';
  text_ += *escaped;
  text_ += '\n';
  return true;
}

bool DesktopEntryWriter::AddExec(const std::vector<std::string>& arguments) {
  if (arguments.empty() || arguments.front().empty()) return false;
  return Add("Exec", FormatExecValue(arguments));
}

std::optional<std::map<std::string, std::string>> ParseDesktopEntry(std::string_view text) {
  std::map<std::string, std::string> values;
  bool found = false;
  bool inside = false;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = TrimBlanks(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inside = line == "[Desktop Entry]" && !found;
      found = found || inside;
      continue;
    }
    if (!inside) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string key(TrimBlanks(line.substr(0, equals)));
    std::string_view value = TrimBlanks(line.substr(equals + 1));
    values.emplace(std::move(key), UnescapeDesktopValue(value));
  }
  if (!found) return std::nullopt;
  return values;
}

}  // namespace platform
