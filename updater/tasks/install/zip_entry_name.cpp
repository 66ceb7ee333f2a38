#include "updater/tasks/install/zip_entry_name.h"

#include <zlib.h>

#include <cstdint>

#include "updater/core/text.h"
#include "updater/tasks/install/zip_extra_field.h"

namespace {

// Unicode code points of the bytes 0x80 to 0xFF of code page 437; the lower
// half is ASCII.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,  //
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,  //
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,  //
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,  //
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,  //
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,  //
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  //
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,  //
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  //
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,  //
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  //
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,  //
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,  //
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,  //
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,  //
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,  //
};

constexpr std::size_t kMaxComponentBytes = 255;
constexpr unsigned kHostUnix = 3;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// True for "..", "...", ". ." and the like: Windows drops trailing dots and
// blanks of a component, so these could stand for the parent folder there.
bool IsDotsAndBlanks(std::string_view component) {
  for (char c : component)
    if (c != '.' && c != ' ') return false;
  return true;
}

std::optional<ZipEntryPath> Refuse(std::string* reason, std::string text) {
  if (reason) *reason = std::move(text);
  return std::nullopt;
}

// The UTF-8 name of a Unicode Path field that belongs to the name field:
// version 1 and the CRC-32 of the name field.
std::optional<std::string_view> UnicodePath(std::string_view extra, std::string_view name) {
  auto data = FindZipExtraField(extra, kUnicodePathField);
  if (!data || data->size() < 5 || (*data)[0] != 1) return std::nullopt;
  auto crc = crc32(0, reinterpret_cast<const Bytef*>(name.data()), static_cast<uInt>(name.size()));
  if (ReadLittleEndian(*data, 1, 4) != crc) return std::nullopt;
  std::string_view text = data->substr(5);
  if (text.empty() || !IsValidUtf8(text)) return std::nullopt;
  return text;
}

}  // namespace

std::string Cp437ToUtf8(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    units.push_back(byte < 0x80 ? static_cast<char16_t>(byte) : kCp437High[byte - 0x80]);
  }
  return Utf16ToUtf8(units);
}

ZipNameText ChooseZipEntryName(const ZipRawName& raw) {
  if (auto unicode = UnicodePath(raw.extra, raw.bytes)) return {std::string(*unicode), true};
  bool utf8 = raw.utf8_flag || (raw.host == kHostUnix && IsValidUtf8(raw.bytes));
  return {std::string(raw.bytes), utf8};
}

bool NamesTheFolderItself(std::string_view name) {
  if (name.empty() || IsSeparator(name.front())) return false;
  for (char c : name)
    if (c != '.' && !IsSeparator(c)) return false;
  // Only "." components: no "..", which climbs out.
  for (std::size_t i = 0; i + 1 < name.size(); ++i)
    if (name[i] == '.' && name[i + 1] == '.') return false;
  return true;
}

std::string ZipEntryPath::Joined() const {
  std::string out;
  for (const auto& component : components) {
    if (!out.empty()) out += '/';
    out += component;
  }
  return out;
}

std::optional<ZipEntryPath> ParseZipEntryName(std::string_view raw, bool utf8,
                                              std::size_t max_bytes, std::string* reason) {
  if (raw.empty()) return Refuse(reason, "empty entry name");
  if (utf8 && !IsValidUtf8(raw)) return Refuse(reason, "entry name is not UTF-8");
  std::string name = utf8 ? std::string(raw) : Cp437ToUtf8(raw);
  if (name.size() > max_bytes) return Refuse(reason, "entry name too long");
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return Refuse(reason, "control character in entry name");
  }
  if (IsSeparator(name.front())) return Refuse(reason, "absolute entry name '" + name + "'");
  if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':')
    return Refuse(reason, "entry name with a drive '" + name + "'");

  ZipEntryPath path;
  path.ends_with_separator = IsSeparator(name.back());
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    std::string_view component(name.data() + start, end - start);
    if (!component.empty() && component != ".") {
      if (IsDotsAndBlanks(component))
        return Refuse(reason, "entry name climbs out of its folder '" + name + "'");
      if (component.size() > kMaxComponentBytes)
        return Refuse(reason, "entry name component too long");
      path.components.emplace_back(component);
    }
    start = end + 1;
  }
  if (path.components.empty()) return Refuse(reason, "entry name '" + name + "' names no file");
  return path;
}
