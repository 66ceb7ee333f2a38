#include "platform/posix/desktop_entry.h"

#include <utility>

namespace platform {
namespace {

// Length of the UTF-8 sequence that starts at text[i], or 0 when it is invalid.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned code = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values beyond U+10FFFF.
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

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
    const std::size_t length = Utf8SequenceLength(value, i);
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
