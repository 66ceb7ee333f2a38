// Registry values, root names and the content of a store file; the parts of
// the registry that do not touch the operating system.

#include "platform/registry.h"

#include <array>
#include <charconv>
#include <limits>

#include "platform/unicode_case.h"
#include "platform/utf8.h"

namespace platform {
namespace {

struct RootEntry {
  RegistryRoot root;
  const char* name;
};
constexpr std::array<RootEntry, 5> kRoots = {{
    {RegistryRoot::kClassesRoot, "HKEY_CLASSES_ROOT"},
    {RegistryRoot::kCurrentUser, "HKEY_CURRENT_USER"},
    {RegistryRoot::kLocalMachine, "HKEY_LOCAL_MACHINE"},
    {RegistryRoot::kUsers, "HKEY_USERS"},
    {RegistryRoot::kCurrentConfig, "HKEY_CURRENT_CONFIG"},
}};

struct TypeEntry {
  RegistryType type;
  std::string_view word;
};
constexpr std::array<TypeEntry, 6> kTypes = {{
    {RegistryType::kString, "sz"},
    {RegistryType::kExpandString, "expand_sz"},
    {RegistryType::kBinary, "binary"},
    {RegistryType::kDword, "dword"},
    {RegistryType::kMultiString, "multi_sz"},
    {RegistryType::kQword, "qword"},
}};

// Decodes one UTF-8 sequence at text[i] and advances i; false for bytes that
// are not valid UTF-8.
bool NextCodePoint(std::string_view text, std::size_t& i, char32_t& cp) {
  const Utf8Sequence sequence = DecodeUtf8At(text, i);
  if (sequence.length == 0) return false;
  cp = sequence.code_point;
  i += sequence.length;
  return true;
}

// Number of UTF-16 units of a valid UTF-8 text; nullopt for invalid UTF-8.
std::optional<std::size_t> Utf16Units(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    if (!NextCodePoint(text, i, cp)) return std::nullopt;
    units += cp >= 0x10000 ? 2 : 1;
  }
  return units;
}

// Compares two valid UTF-8 names without regard to case.
bool SameName(std::string_view a, std::string_view b) {
  if (a == b) return true;
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = 0, y = 0;
    bool okx = NextCodePoint(a, i, x);
    bool oky = NextCodePoint(b, j, y);
    if (!okx || !oky) return false;
    if (platform::LowerCodePoint(x) != platform::LowerCodePoint(y)) return false;
  }
  return i == a.size() && j == b.size();
}

}  // namespace

std::string FoldRegistryName(std::string_view name) {
  std::string folded;
  folded.reserve(name.size());
  for (std::size_t i = 0; i < name.size();) {
    char32_t cp = 0;
    if (!NextCodePoint(name, i, cp)) return "\xff" + std::string(name);
    AppendUtf8(folded, platform::LowerCodePoint(cp));
  }
  return folded;
}

namespace {

std::string LittleEndian(std::uint64_t number, std::size_t bytes) {
  std::string data(bytes, '\0');
  for (std::size_t k = 0; k < bytes; ++k) data[k] = static_cast<char>((number >> (8 * k)) & 0xFF);
  return data;
}

std::uint64_t FromLittleEndian(std::string_view data) {
  std::uint64_t number = 0;
  for (std::size_t k = data.size(); k-- > 0;)
    number = (number << 8) | static_cast<unsigned char>(data[k]);
  return number;
}

constexpr char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <typename Number>
std::optional<Number> ReadDecimal(std::string_view text) {
  Number number = 0;
  if (text.empty() || text.size() > 20) return std::nullopt;
  for (char c : text)
    if (c < '0' || c > '9') return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

std::optional<RegistryValue> ReadValueData(RegistryType type, std::string_view data) {
  RegistryValue value;
  value.type = type;
  switch (type) {
    case RegistryType::kString:
    case RegistryType::kExpandString:
    case RegistryType::kMultiString: {
      std::size_t pos = 0;
      auto text = ReadQuotedRegistryText(data, pos);
      if (!text || pos != data.size()) return std::nullopt;
      value.data = std::move(*text);
      break;
    }
    case RegistryType::kDword: {
      auto number = ReadDecimal<std::uint32_t>(data);
      if (!number) return std::nullopt;
      value = RegistryValue::Dword(*number);
      break;
    }
    case RegistryType::kQword: {
      auto number = ReadDecimal<std::uint64_t>(data);
      if (!number) return std::nullopt;
      value = RegistryValue::Qword(*number);
      break;
    }
    case RegistryType::kBinary: {
      if (data.size() % 2 != 0) return std::nullopt;
      for (std::size_t k = 0; k < data.size(); k += 2) {
        int high = HexValue(data[k]);
        int low = HexValue(data[k + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        value.data += static_cast<char>(high * 16 + low);
      }
      break;
    }
  }
  if (!value.IsWellFormed()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::string> ReadQuotedRegistryText(std::string_view line, std::size_t& pos) {
  if (pos >= line.size() || line[pos] != '"') return std::nullopt;
  std::string text;
  for (++pos; pos < line.size(); ++pos) {
    char c = line[pos];
    if (c == '"') {
      ++pos;
      return text;
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
    if (c != '\\') {
      text += c;
      continue;
    }
    if (++pos >= line.size()) return std::nullopt;
    switch (line[pos]) {
      case '\\':
        text += '\\';
        break;
      case '"':
        text += '"';
        break;
      case 'n':
        text += '\n';
        break;
      case 'r':
        text += '\r';
        break;
      case 't':
        text += '\t';
        break;
      case '0':
        text += '\0';
        break;
      case 'x': {
        if (pos + 2 >= line.size()) return std::nullopt;
        int high = HexValue(line[pos + 1]);
        int low = HexValue(line[pos + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        text += static_cast<char>(high * 16 + low);
        pos += 2;
        break;
      }
      default:
        return std::nullopt;
    }
  }
  return std::nullopt;
}

std::optional<RegistryValue> RegistryValueFromText(std::string_view text, std::string* error) {
  std::size_t blank = text.find(' ');
  std::string_view word = text.substr(0, blank);
  std::string_view data = blank == std::string_view::npos ? "" : text.substr(blank + 1);
  for (const auto& entry : kTypes) {
    if (entry.word != word) continue;
    auto value = ReadValueData(entry.type, data);
    if (!value && error) *error = "malformed value data";
    return value;
  }
  if (error) *error = "unknown value type";
  return std::nullopt;
}

std::optional<RegistryRoot> RegistryRootFromName(std::string_view name) {
  for (const auto& entry : kRoots)
    if (SameName(name, entry.name)) return entry.root;
  return std::nullopt;
}

const char* RegistryRootName(RegistryRoot root) {
  for (const auto& entry : kRoots)
    if (entry.root == root) return entry.name;
  return "";
}

RegistryValue RegistryValue::String(std::string_view text) {
  return {RegistryType::kString, std::string(text)};
}

RegistryValue RegistryValue::ExpandString(std::string_view text) {
  return {RegistryType::kExpandString, std::string(text)};
}

RegistryValue RegistryValue::MultiString(const std::vector<std::string>& texts) {
  RegistryValue value{RegistryType::kMultiString, {}};
  for (const auto& text : texts) {
    value.data += text;
    value.data += '\0';
  }
  return value;
}

RegistryValue RegistryValue::Binary(std::string_view bytes) {
  return {RegistryType::kBinary, std::string(bytes)};
}

RegistryValue RegistryValue::Dword(std::uint32_t number) {
  return {RegistryType::kDword, LittleEndian(number, 4)};
}

RegistryValue RegistryValue::Qword(std::uint64_t number) {
  return {RegistryType::kQword, LittleEndian(number, 8)};
}

std::optional<std::uint32_t> RegistryValue::AsDword() const {
  if (type != RegistryType::kDword || data.size() != 4) return std::nullopt;
  return static_cast<std::uint32_t>(FromLittleEndian(data));
}

std::optional<std::uint64_t> RegistryValue::AsQword() const {
  if (type != RegistryType::kQword || data.size() != 8) return std::nullopt;
  return FromLittleEndian(data);
}

std::vector<std::string> RegistryValue::AsMultiString() const {
  std::vector<std::string> texts;
  if (type != RegistryType::kMultiString) return texts;
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    texts.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  return texts;
}

bool RegistryValue::IsWellFormed() const {
  if (data.size() > kMaxRegistryValueBytes) return false;
  switch (type) {
    case RegistryType::kString:
    case RegistryType::kExpandString:
      return data.find('\0') == std::string::npos && Utf16Units(data).has_value();
    case RegistryType::kMultiString:
      return Utf16Units(data).has_value();
    case RegistryType::kDword:
      return data.size() == 4;
    case RegistryType::kQword:
      return data.size() == 8;
    case RegistryType::kBinary:
      return true;
  }
  return false;
}

std::string RegistryValueToText(const RegistryValue& value) {
  std::string text;
  for (const auto& entry : kTypes)
    if (entry.type == value.type) text = entry.word;
  text += ' ';
  switch (value.type) {
    case RegistryType::kString:
    case RegistryType::kExpandString:
    case RegistryType::kMultiString:
      text += QuoteRegistryText(value.data);
      break;
    case RegistryType::kDword:
    case RegistryType::kQword:
      text += std::to_string(FromLittleEndian(value.data));
      break;
    case RegistryType::kBinary:
      for (char c : value.data) {
        auto b = static_cast<unsigned char>(c);
        text += kHexDigits[b >> 4];
        text += kHexDigits[b & 0xF];
      }
      break;
  }
  return text;
}

std::string QuoteRegistryText(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
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
      case '\0':
        out += "\\0";
        break;
      default:
        if (b < 0x20 || b == 0x7F) {
          out += "\\x";
          out += kHexDigits[b >> 4];
          out += kHexDigits[b & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::optional<std::vector<std::string>> SplitRegistryPath(std::string_view path,
                                                          std::string* error) {
  auto fail = [&](const std::string& reason) -> std::optional<std::vector<std::string>> {
    if (error) *error = reason + ": '" + std::string(path) + "'";
    return std::nullopt;
  };
  std::vector<std::string> parts;
  if (path.empty()) return parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = path.find('\\', start);
    std::string_view part =
        path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (part.empty()) return fail("registry key path with an empty component");
    if (part.find('\0') != std::string_view::npos) return fail("registry key name with a NUL");
    auto units = Utf16Units(part);
    if (!units) return fail("registry key name that is not UTF-8");
    if (*units > kMaxRegistryKeyNameUnits) return fail("registry key name too long");
    parts.emplace_back(part);
    if (parts.size() > kMaxRegistryKeyDepth) return fail("registry key path too deep");
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

bool IsValidRegistryValueName(std::string_view name) {
  if (name.find('\0') != std::string_view::npos) return false;
  auto units = Utf16Units(name);
  return units && *units <= kMaxRegistryValueNameUnits;
}

RegistryDepthRead IRegistry::QueryExistingDepth(RegistryRoot root, std::string_view subkey) {
  RegistryDepthRead read;
  std::string reason;
  auto parts = SplitRegistryPath(subkey, &reason);
  if (!parts) {
    read.status = Status::Fail(reason);
    return read;
  }
  std::string path;
  for (const auto& part : *parts) {
    path += (path.empty() ? "" : "\\") + part;
    RegistryKeyRead key = QueryKey(root, path);
    if (!key.status) {
      read.status = key.status;
      return read;
    }
    if (!key.info) break;
    ++read.depth;
  }
  return read;
}

}  // namespace platform
