#include "platform/file_version.h"

// The version resource of a PE program file, read as plain bytes. The file is
// untrusted: every offset and size is checked against what was read, only the
// headers, three resource directories and the version block are read, and the
// resource tree is walked along a fixed path of three levels, so a cyclic or
// oversized tree cannot make the walk loop or grow.

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/utf8.h"

namespace platform {
namespace {

// Offsets beyond this are never read.
constexpr std::uint64_t kMaxImageBytes = 256ull * 1024 * 1024;
// A version block's length is a 16-bit count of bytes.
constexpr std::uint64_t kMaxVersionBytes = 0xffff;
constexpr std::uint32_t kMaxDirectoryEntries = 4096;
constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kVersionResourceId = 1;
constexpr std::uint32_t kHighBit = 0x80000000u;

// Little-endian reads from a byte range; callers check Has first.
class Bytes {
 public:
  explicit Bytes(std::string_view data) : data_(data) {}
  std::size_t size() const { return data_.size(); }
  bool Has(std::uint64_t offset, std::uint64_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }
  std::uint16_t U16(std::size_t offset) const {
    return static_cast<std::uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
  }
  std::uint32_t U32(std::size_t offset) const {
    return static_cast<std::uint32_t>(U16(offset)) | static_cast<std::uint32_t>(U16(offset + 2))
                                                         << 16;
  }

 private:
  unsigned Byte(std::size_t offset) const { return static_cast<unsigned char>(data_[offset]); }
  std::string_view data_;
};

// Reads ranges of the file, each checked against the file's length.
class FileReader {
 public:
  bool Open(const std::string& path) {
    file_.open(path, std::ios::binary);
    if (!file_) return false;
    file_.seekg(0, std::ios::end);
    std::streamoff size = file_.tellg();
    if (size < 0) return false;
    size_ = std::min(static_cast<std::uint64_t>(size), kMaxImageBytes);
    return true;
  }

  std::optional<std::string> ReadAt(std::uint64_t offset, std::uint64_t count) {
    if (offset > size_ || count > size_ - offset) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(count), '\0');
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    file_.read(bytes.data(), static_cast<std::streamsize>(count));
    if (!file_ || static_cast<std::uint64_t>(file_.gcount()) != count) return std::nullopt;
    return bytes;
  }

 private:
  std::ifstream file_;
  std::uint64_t size_ = 0;
};

struct Section {
  std::uint32_t virtual_address = 0;
  std::uint32_t raw_size = 0;
  std::uint32_t raw_offset = 0;
};

// Where the resource tree lies in the file.
struct ResourceArea {
  std::uint64_t offset = 0;  // file offset of the root directory
  std::uint64_t size = 0;    // bytes of the section from there on
};

struct PeHeaders {
  std::vector<Section> sections;
  std::uint32_t resource_rva = 0;
};

std::optional<PeHeaders> ReadHeaders(FileReader& file) {
  auto dos = file.ReadAt(0, 64);
  if (!dos) return std::nullopt;
  Bytes dos_bytes(*dos);
  if ((*dos)[0] != 'M' || (*dos)[1] != 'Z') return std::nullopt;
  std::uint64_t pe_offset = dos_bytes.U32(0x3c);

  // Signature and COFF header.
  auto coff = file.ReadAt(pe_offset, 24);
  if (!coff) return std::nullopt;
  if (coff->compare(0, 4, std::string_view("PE\0\0", 4)) != 0) return std::nullopt;
  Bytes coff_bytes(*coff);
  std::uint32_t section_count = coff_bytes.U16(6);
  std::uint32_t optional_size = coff_bytes.U16(20);
  if (section_count == 0) return std::nullopt;

  auto optional = file.ReadAt(pe_offset + 24, optional_size);
  if (!optional) return std::nullopt;
  Bytes opt(*optional);
  if (!opt.Has(0, 2)) return std::nullopt;
  std::size_t count_at = 0;
  switch (opt.U16(0)) {
    case 0x10b:  // PE32
      count_at = 92;
      break;
    case 0x20b:  // PE32+
      count_at = 108;
      break;
    default:
      return std::nullopt;
  }
  if (!opt.Has(count_at, 4)) return std::nullopt;
  std::uint32_t directory_count = opt.U32(count_at);
  std::size_t resource_entry = count_at + 4 + 2 * 8;
  if (directory_count <= 2 || !opt.Has(resource_entry, 8)) return std::nullopt;

  PeHeaders headers;
  headers.resource_rva = opt.U32(resource_entry);
  if (headers.resource_rva == 0 || opt.U32(resource_entry + 4) == 0) return std::nullopt;

  auto table = file.ReadAt(pe_offset + 24 + optional_size, std::uint64_t{section_count} * 40);
  if (!table) return std::nullopt;
  Bytes table_bytes(*table);
  for (std::size_t i = 0; i < section_count; ++i) {
    Section section;
    section.virtual_address = table_bytes.U32(i * 40 + 12);
    section.raw_size = table_bytes.U32(i * 40 + 16);
    section.raw_offset = table_bytes.U32(i * 40 + 20);
    headers.sections.push_back(section);
  }
  return headers;
}

// The file offset of an address range that lies in the raw data of a section,
// and how many bytes of that section follow it.
std::optional<ResourceArea> MapRva(const PeHeaders& headers, std::uint32_t rva,
                                   std::uint64_t count) {
  for (const Section& section : headers.sections) {
    if (rva < section.virtual_address) continue;
    std::uint64_t into = rva - section.virtual_address;
    if (into >= section.raw_size || count > section.raw_size - into) continue;
    return ResourceArea{std::uint64_t{section.raw_offset} + into, section.raw_size - into};
  }
  return std::nullopt;
}

struct DirectoryEntry {
  std::uint32_t name = 0;    // an id unless the high bit is set
  std::uint32_t target = 0;  // a subdirectory when the high bit is set
};

class ResourceTree {
 public:
  ResourceTree(FileReader& file, ResourceArea area) : file_(file), area_(area) {}

  std::optional<std::vector<DirectoryEntry>> Directory(std::uint32_t offset) {
    auto header = Read(offset, 16);
    if (!header) return std::nullopt;
    Bytes bytes(*header);
    std::uint32_t count = std::uint32_t{bytes.U16(12)} + bytes.U16(14);
    count = std::min(count, kMaxDirectoryEntries);
    auto table = Read(std::uint64_t{offset} + 16, std::uint64_t{count} * 8);
    if (!table) return std::nullopt;
    Bytes entries(*table);
    std::vector<DirectoryEntry> result;
    for (std::size_t i = 0; i < count; ++i)
      result.push_back({entries.U32(i * 8), entries.U32(i * 8 + 4)});
    return result;
  }

  std::optional<std::string> Read(std::uint64_t offset, std::uint64_t count) {
    if (offset > area_.size || count > area_.size - offset) return std::nullopt;
    return file_.ReadAt(area_.offset + offset, count);
  }

 private:
  FileReader& file_;
  ResourceArea area_;
};

bool IsSubdirectory(const DirectoryEntry& entry) { return (entry.target & kHighBit) != 0; }
std::uint32_t TargetOffset(const DirectoryEntry& entry) { return entry.target & ~kHighBit; }

const DirectoryEntry* FindId(const std::vector<DirectoryEntry>& entries, std::uint32_t id) {
  for (const DirectoryEntry& entry : entries) {
    if (entry.name == id) return &entry;  // a named entry has the high bit set, never equal
  }
  return nullptr;
}

// The bytes of the version resource: type RT_VERSION, id 1 (else the first
// entry), its first language.
std::optional<std::string> ReadVersionResource(FileReader& file, const PeHeaders& headers) {
  auto area = MapRva(headers, headers.resource_rva, 16);
  if (!area) return std::nullopt;
  ResourceTree tree(file, *area);

  auto types = tree.Directory(0);
  if (!types) return std::nullopt;
  const DirectoryEntry* type = FindId(*types, kResourceTypeVersion);
  if (!type || !IsSubdirectory(*type)) return std::nullopt;

  auto names = tree.Directory(TargetOffset(*type));
  if (!names || names->empty()) return std::nullopt;
  const DirectoryEntry* name = FindId(*names, kVersionResourceId);
  if (!name) name = &names->front();
  if (!IsSubdirectory(*name)) return std::nullopt;

  auto languages = tree.Directory(TargetOffset(*name));
  if (!languages || languages->empty()) return std::nullopt;
  const DirectoryEntry& language = languages->front();
  if (IsSubdirectory(language)) return std::nullopt;

  auto data_entry = tree.Read(TargetOffset(language), 16);
  if (!data_entry) return std::nullopt;
  Bytes entry(*data_entry);
  std::uint32_t data_rva = entry.U32(0);
  std::uint32_t data_size = entry.U32(4);
  auto data = MapRva(headers, data_rva, data_size);
  if (!data) return std::nullopt;
  return file.ReadAt(data->offset, std::min<std::uint64_t>(data_size, kMaxVersionBytes));
}

std::size_t Align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

// One block of the version resource: wLength, wValueLength, wType, a
// zero-terminated UTF-16 key, the value and the child blocks, each part
// starting on a 32-bit boundary.
struct Block {
  std::size_t end = 0;       // end of the block, within its parent
  std::size_t declared = 0;  // the block's own length
  std::uint16_t value_length = 0;
  std::uint16_t type = 0;
  std::u16string key;
  std::size_t value = 0;     // offset of the value
  std::size_t children = 0;  // offset of the first child
};

std::optional<Block> ParseBlock(const Bytes& data, std::size_t begin, std::size_t limit) {
  if (begin > limit || limit - begin < 6) return std::nullopt;
  Block block;
  block.declared = data.U16(begin);
  if (block.declared < 6) return std::nullopt;
  block.end = std::min(begin + block.declared, limit);
  block.value_length = data.U16(begin + 2);
  block.type = data.U16(begin + 4);
  std::size_t at = begin + 6;
  bool terminated = false;
  while (at + 2 <= block.end) {
    char16_t unit = data.U16(at);
    at += 2;
    if (unit == 0) {
      terminated = true;
      break;
    }
    block.key.push_back(unit);
  }
  if (!terminated) return std::nullopt;
  block.value = std::min(Align4(at), block.end);
  std::size_t value_bytes = block.type == 1 ? 2u * block.value_length : block.value_length;
  block.children = std::min(Align4(block.value + value_bytes), block.end);
  return block;
}

std::vector<Block> Children(const Bytes& data, const Block& parent) {
  std::vector<Block> children;
  std::size_t at = parent.children;
  while (at < parent.end) {
    auto child = ParseBlock(data, at, parent.end);
    if (!child) break;
    at = Align4(at + child->declared);  // declared >= 6: always moves on
    children.push_back(std::move(*child));
  }
  return children;
}

bool KeyIs(const std::u16string& key, std::string_view name) {
  if (key.size() != name.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    char16_t a = key[i];
    char16_t b = static_cast<unsigned char>(name[i]);
    if (a >= 'A' && a <= 'Z') a = static_cast<char16_t>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char16_t>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

const Block* FindChild(const std::vector<Block>& blocks, std::string_view name) {
  for (const Block& block : blocks) {
    if (KeyIs(block.key, name)) return &block;
  }
  return nullptr;
}

// The zero-terminated UTF-16 text at [begin, end) as UTF-8; a lone surrogate
// becomes U+FFFD.
std::string TextAt(const Bytes& data, std::size_t begin, std::size_t end) {
  std::string text;
  for (std::size_t at = begin; at + 2 <= end; at += 2) {
    char32_t unit = data.U16(at);
    if (unit == 0) break;
    if (unit >= 0xd800 && unit < 0xdc00 && at + 4 <= end) {
      char32_t low = data.U16(at + 2);
      if (low >= 0xdc00 && low < 0xe000) {
        AppendUtf8(text, 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00));
        at += 2;
        continue;
      }
    }
    if (unit >= 0xd800 && unit < 0xe000) unit = 0xfffd;
    AppendUtf8(text, unit);
  }
  return text;
}

std::string HexKey(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = kDigits[value & 0xf];
    value >>= 4;
  }
  return text;
}

std::optional<std::string> FileVersionOf(std::string_view resource) {
  Bytes data(resource);
  auto root = ParseBlock(data, 0, data.size());
  if (!root || !KeyIs(root->key, "VS_VERSION_INFO")) return std::nullopt;
  std::vector<Block> sections = Children(data, *root);

  // The first language and code page of the translation table.
  const Block* var_info = FindChild(sections, "VarFileInfo");
  if (!var_info) return std::nullopt;
  std::vector<Block> vars = Children(data, *var_info);
  const Block* translation = FindChild(vars, "Translation");
  if (!translation || translation->value_length == 0 || translation->value + 4 > translation->end) {
    return std::nullopt;
  }
  std::uint32_t language = data.U16(translation->value);
  std::uint32_t code_page = data.U16(translation->value + 2);
  std::string table_key = HexKey(language << 16 | code_page);

  std::string none;
  const Block* string_info = FindChild(sections, "StringFileInfo");
  if (!string_info) return none;
  std::vector<Block> tables = Children(data, *string_info);
  const Block* table = FindChild(tables, table_key);
  if (!table) return none;
  std::vector<Block> strings = Children(data, *table);
  const Block* version = FindChild(strings, "FileVersion");
  if (!version || version->value_length == 0) return none;
  return TextAt(data, version->value, version->end);
}

}  // namespace

std::optional<std::string> ReadFileVersion(const std::string& path) {
  if (!FileExists(path)) return std::nullopt;
  FileReader file;
  if (!file.Open(path)) return std::nullopt;
  auto headers = ReadHeaders(file);
  if (!headers) return std::nullopt;
  auto resource = ReadVersionResource(file, *headers);
  if (!resource) return std::nullopt;
  return FileVersionOf(*resource);
}

}  // namespace platform
