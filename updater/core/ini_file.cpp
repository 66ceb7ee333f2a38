#include "updater/core/ini_file.h"

#include "platform/file_system.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A group line: optional blanks, "[", the name up to the first "]" (or the end).
bool ParseGroupLine(std::string_view line, std::string_view* name) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return false;
  line.remove_prefix(1);
  std::size_t close = line.find(']');
  if (close != std::string_view::npos) line = line.substr(0, close);
  *name = TrimBlanks(line);
  return true;
}

// A key line: anything but a group line that holds "=".
bool ParseKeyLine(std::string_view line, std::string_view* key, std::string_view* value) {
  std::string_view ignored;
  if (ParseGroupLine(line, &ignored)) return false;
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  *key = TrimBlanks(line.substr(0, equals));
  *value = TrimBlanks(line.substr(equals + 1));
  return true;
}

bool HoldsLineBreak(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// The value as it is written: quoted when reading would otherwise lose blanks
// at its ends or a pair of enclosing quotes.
std::string QuoteForWriting(std::string_view value) {
  bool loses_blanks = TrimBlanks(value).size() != value.size();
  bool enclosed = value.size() >= 2 && value.front() == '"' && value.back() == '"';
  if (loses_blanks || enclosed) return "\"" + std::string(value) + "\"";
  return std::string(value);
}

bool FitsWindows1252(std::string_view text) {
  return Windows1252ToUtf8(Utf8ToWindows1252(text)) == text;
}

}  // namespace

platform::Status CIniFile::Load(const std::string& path) {
  Parse({});
  if (!platform::PathExists(path)) return platform::Status::Ok();
  auto bytes = platform::ReadFile(path, kMaxFileBytes);
  if (!bytes) return platform::Status::Fail("cannot read INI file '" + path + "'");
  Parse(*bytes);
  return platform::Status::Ok();
}

void CIniFile::Parse(std::string_view bytes) {
  lines_.clear();
  encoding_ = TextEncoding::kUtf8;
  newline_ = "\r\n";
  std::string text = DecodeTextFile(bytes, &encoding_);
  bool newline_seen = false;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    Line line;
    if (end == std::string::npos) {
      line.text = text.substr(start);
      start = text.size();
    } else {
      line.text = text.substr(start, end - start);
      std::size_t eol_size =
          (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
      line.eol = text.substr(end, eol_size);
      start = end + eol_size;
      if (!newline_seen) {
        newline_ = line.eol;
        newline_seen = true;
      }
    }
    lines_.push_back(std::move(line));
  }
}

std::size_t CIniFile::FindGroup(std::string_view group) const {
  group = TrimBlanks(group);
  if (group.empty()) return lines_.size();
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    std::string_view name;
    if (ParseGroupLine(lines_[i].text, &name) && EqualsNoCase(name, group)) return i;
  }
  return lines_.size();
}

std::size_t CIniFile::GroupEnd(std::size_t header) const {
  std::size_t i = header + 1;
  std::string_view name;
  while (i < lines_.size() && !ParseGroupLine(lines_[i].text, &name)) ++i;
  return i;
}

std::size_t CIniFile::FindKey(std::size_t header, std::string_view key) const {
  key = TrimBlanks(key);
  if (header >= lines_.size() || key.empty()) return lines_.size();
  std::size_t end = GroupEnd(header);
  for (std::size_t i = header + 1; i < end; ++i) {
    std::string_view name, value;
    if (ParseKeyLine(lines_[i].text, &name, &value) && EqualsNoCase(name, key)) return i;
  }
  return lines_.size();
}

std::string CIniFile::GetValue(std::string_view group, std::string_view key,
                               std::string_view default_value) const {
  std::size_t line = FindKey(FindGroup(group), key);
  if (line >= lines_.size()) return std::string(default_value);
  std::string_view name, value;
  ParseKeyLine(lines_[line].text, &name, &value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return TruncateUtf16(value, kMaxValueUnits);
}

bool CIniFile::HasValue(std::string_view group, std::string_view key) const {
  return FindKey(FindGroup(group), key) < lines_.size();
}

void CIniFile::EndLastLine() {
  if (!lines_.empty() && lines_.back().eol.empty()) lines_.back().eol = newline_;
}

void CIniFile::KeepReadable() {
  if (encoding_ != TextEncoding::kWindows1252) return;
  TextEncoding read_as = encoding_;
  DecodeTextFile(Serialize(), &read_as);
  if (read_as != TextEncoding::kWindows1252) encoding_ = TextEncoding::kUtf8;
}

bool CIniFile::SetValue(std::string_view group, std::string_view key, std::string_view value) {
  if (!PutValue(group, key, value)) return false;
  KeepReadable();
  return true;
}

bool CIniFile::PutValue(std::string_view group, std::string_view key, std::string_view value) {
  group = TrimBlanks(group);
  key = TrimBlanks(key);
  if (group.empty() || key.empty()) return false;
  if (HoldsLineBreak(group) || HoldsLineBreak(key) || HoldsLineBreak(value)) return false;
  if (group.find(']') != std::string_view::npos) return false;
  if (key.find('=') != std::string_view::npos || key.front() == '[') return false;

  std::string text = std::string(key) + "=" + QuoteForWriting(value);
  // A Windows-1252 file that cannot hold the new text becomes UTF-8 rather than losing characters.
  if (encoding_ == TextEncoding::kWindows1252 && !(FitsWindows1252(text) && FitsWindows1252(group)))
    encoding_ = TextEncoding::kUtf8;

  std::size_t header = FindGroup(group);
  if (header < lines_.size()) {
    std::size_t existing = FindKey(header, key);
    if (existing < lines_.size()) {
      lines_[existing].text = std::move(text);
      return true;
    }
    // After the group's last non-empty line.
    std::size_t last = header;
    for (std::size_t i = header + 1, end = GroupEnd(header); i < end; ++i)
      if (!TrimWhitespace(lines_[i].text).empty()) last = i;
    if (lines_[last].eol.empty()) lines_[last].eol = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1),
                  Line{std::move(text), newline_});
    return true;
  }

  EndLastLine();
  if (!lines_.empty() && !TrimWhitespace(lines_.back().text).empty())
    lines_.push_back(Line{"", newline_});
  lines_.push_back(Line{"[" + std::string(group) + "]", newline_});
  lines_.push_back(Line{std::move(text), newline_});
  return true;
}

bool CIniFile::DeleteKey(std::string_view group, std::string_view key) {
  std::size_t line = FindKey(FindGroup(group), key);
  if (line < lines_.size()) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
    KeepReadable();
  }
  return true;
}

bool CIniFile::DeleteGroup(std::string_view group) {
  std::size_t header = FindGroup(group);
  if (header < lines_.size()) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(GroupEnd(header)));
    KeepReadable();
  }
  return true;
}

std::string CIniFile::Serialize() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.text;
    text += line.eol;
  }
  return EncodeTextFile(text, encoding_);
}

platform::Status CIniFile::Save(const std::string& path, bool private_file) const {
  if (!private_file) return platform::WriteFileAtomic(path, Serialize());
  return platform::WriteFileAtomic(path, Serialize(), platform::FilePermissions::kPrivate,
                                   platform::ExistingPermissions::kReplace);
}

std::string ReadIniValue(const std::string& file, std::string_view group, std::string_view key,
                         std::string_view default_value) {
  CIniFile ini;
  if (!ini.Load(file)) return std::string(default_value);
  return ini.GetValue(group, key, default_value);
}

bool WriteIniValue(const std::string& file, std::string_view group, std::string_view key,
                   std::string_view value, bool private_file) {
  CIniFile ini;
  if (!ini.Load(file)) return false;
  if (!ini.SetValue(group, key, value)) return false;
  return ini.Save(file, private_file).ok();
}

bool DeleteIniValue(const std::string& file, std::string_view group, std::string_view key,
                    bool private_file) {
  if (!platform::PathExists(file)) return true;
  CIniFile ini;
  if (!ini.Load(file)) return false;
  if (!ini.HasValue(group, key)) return true;
  ini.DeleteKey(group, key);
  return ini.Save(file, private_file).ok();
}
