#include "platform/file_version.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_folder.h"

namespace {

// ---- A builder of small PE images with a version resource. ----

void Put16(std::string& out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<char>(value & 0xff);
  out[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::size_t at, std::uint32_t value) {
  Put16(out, at, static_cast<std::uint16_t>(value & 0xffff));
  Put16(out, at + 2, static_cast<std::uint16_t>(value >> 16));
}

void Append16(std::string& out, std::uint16_t value) {
  out.append(2, '\0');
  Put16(out, out.size() - 2, value);
}

void Append32(std::string& out, std::uint32_t value) {
  out.append(4, '\0');
  Put32(out, out.size() - 4, value);
}

void PadTo4(std::string& out) { out.append((4 - out.size() % 4) % 4, '\0'); }

std::string Utf16z(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) Append16(out, c);
  Append16(out, 0);
  return out;
}

// wLength, wValueLength, wType, key, padding, value, padding, children.
std::string VersionBlock(std::u16string_view key, std::uint16_t type, std::uint16_t value_length,
                         const std::string& value, const std::vector<std::string>& children) {
  std::string out(6, '\0');
  out += Utf16z(key);
  PadTo4(out);
  out += value;
  for (const std::string& child : children) {
    PadTo4(out);
    out += child;
  }
  Put16(out, 0, static_cast<std::uint16_t>(out.size()));
  Put16(out, 2, value_length);
  Put16(out, 4, type);
  return out;
}

std::string StringEntry(std::u16string_view key, std::u16string_view text) {
  return VersionBlock(key, 1, static_cast<std::uint16_t>(text.size() + 1), Utf16z(text), {});
}

struct StringTable {
  std::u16string key;
  std::vector<std::pair<std::u16string, std::u16string>> strings;
};

struct ImageLayout {
  bool pe32_plus = false;
  bool resource_directory = true;    // data directory 2 filled in
  std::uint32_t resource_type = 16;  // RT_VERSION
  bool var_file_info = true;
  std::vector<std::pair<std::uint16_t, std::uint16_t>> translations = {{0x0409, 0x04b0}};
  std::vector<StringTable> tables = {{u"040904b0", {{u"FileVersion", u"2.1.0.7"}}}};
};

std::string VersionInfo(const ImageLayout& layout) {
  std::string fixed;
  Append32(fixed, 0xfeef04bd);  // signature
  Append32(fixed, 0x00010000);  // structure version
  fixed.append(44, '\0');       // versions, flags, os, type, dates
  std::vector<std::string> tables;
  for (const StringTable& table : layout.tables) {
    std::vector<std::string> strings;
    for (const auto& [key, text] : table.strings) strings.push_back(StringEntry(key, text));
    tables.push_back(VersionBlock(table.key, 1, 0, "", strings));
  }
  std::vector<std::string> children = {VersionBlock(u"StringFileInfo", 1, 0, "", tables)};
  if (layout.var_file_info) {
    std::string pairs;
    for (auto [language, code_page] : layout.translations) {
      Append16(pairs, language);
      Append16(pairs, code_page);
    }
    std::string var =
        VersionBlock(u"Translation", 0, static_cast<std::uint16_t>(pairs.size()), pairs, {});
    children.push_back(VersionBlock(u"VarFileInfo", 1, 0, "", {var}));
  }
  return VersionBlock(u"VS_VERSION_INFO", 0, static_cast<std::uint16_t>(fixed.size()), fixed,
                      children);
}

struct Image {
  std::string bytes;
  std::size_t resources = 0;  // file offset of the resource section
};

constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::size_t kRawOffset = 0x200;

// A resource directory with one id entry.
std::string Directory(std::uint32_t id, std::uint32_t target) {
  std::string out(16, '\0');
  Put16(out, 14, 1);
  Append32(out, id);
  Append32(out, target);
  return out;
}

// DOS header, PE signature, COFF header, optional header, one section ".rsrc"
// whose raw data ends the file: type -> id 1 -> language 0x0409 -> data entry
// -> version block.
Image BuildImage(const ImageLayout& layout = {}) {
  std::string rsrc;
  rsrc += Directory(layout.resource_type, 0x80000000u | 0x18);
  rsrc += Directory(1, 0x80000000u | 0x30);
  rsrc += Directory(0x0409, 0x48);
  std::string info = VersionInfo(layout);
  Append32(rsrc, kSectionRva + 0x58);  // data entry: RVA, size, code page, reserved
  Append32(rsrc, static_cast<std::uint32_t>(info.size()));
  Append32(rsrc, 0);
  Append32(rsrc, 0);
  rsrc += info;

  std::string out(kRawOffset, '\0');
  out[0] = 'M';
  out[1] = 'Z';
  const std::size_t pe = 0x40;
  Put32(out, 0x3c, pe);
  out.replace(pe, 4, std::string("PE\0\0", 4));
  const std::size_t coff = pe + 4;
  const std::uint16_t optional_size = layout.pe32_plus ? 240 : 224;
  Put16(out, coff, layout.pe32_plus ? 0x8664 : 0x014c);
  Put16(out, coff + 2, 1);
  Put16(out, coff + 16, optional_size);
  Put16(out, coff + 18, 0x0102);
  const std::size_t optional = coff + 20;
  Put16(out, optional, layout.pe32_plus ? 0x20b : 0x10b);
  const std::size_t directories = optional + (layout.pe32_plus ? 112 : 96);
  Put32(out, directories - 4, 16);
  if (layout.resource_directory) {
    Put32(out, directories + 16, kSectionRva);
    Put32(out, directories + 20, static_cast<std::uint32_t>(rsrc.size()));
  }
  const std::size_t section = optional + optional_size;
  out.replace(section, 5, ".rsrc");
  Put32(out, section + 8, static_cast<std::uint32_t>(rsrc.size()));
  Put32(out, section + 12, kSectionRva);
  Put32(out, section + 16, static_cast<std::uint32_t>(rsrc.size()));
  Put32(out, section + 20, kRawOffset);
  Put32(out, section + 36, 0x40000040);
  out += rsrc;
  return {out, kRawOffset};
}

class FileVersionTest : public ::testing::Test {
 protected:
  std::optional<std::string> VersionOf(const std::string& bytes) {
    std::string path = folder_ / "image.exe";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return platform::ReadFileVersion(path);
  }
  TempFolder folder_;
};

}  // namespace

TEST_F(FileVersionTest, ReadsTheFileVersionOfTheFirstTranslation) {
  struct Case {
    const char* name;
    ImageLayout layout;
    std::optional<std::string> expected;
  };
  ImageLayout pe32_plus;
  pe32_plus.pe32_plus = true;
  ImageLayout upper_case_table;
  upper_case_table.tables = {{u"040904B0", {{u"FileVersion", u"2.1.0.7"}}}};
  ImageLayout first_pair_wins;
  first_pair_wins.translations = {{0x0407, 0x04b0}, {0x0409, 0x04b0}};
  first_pair_wins.tables = {{u"040904b0", {{u"FileVersion", u"2.1.0.7"}}},
                            {u"040704b0", {{u"CompanyName", u"x"}, {u"FileVersion", u"3, 0"}}}};
  ImageLayout as_written;
  as_written.tables = {{u"040904b0", {{u"FileVersion", u"1, 2, 3, 4 (Gr\u00fc\u00df \u20ac)"}}}};
  ImageLayout no_string;
  no_string.tables = {{u"040904b0", {{u"ProductVersion", u"9.9"}}}};
  ImageLayout no_table;
  no_table.tables = {{u"040704b0", {{u"FileVersion", u"9.9"}}}};
  ImageLayout no_translation;
  no_translation.var_file_info = false;
  ImageLayout empty_translation;
  empty_translation.translations = {};
  ImageLayout no_resources;
  no_resources.resource_directory = false;
  ImageLayout only_icons;
  only_icons.resource_type = 3;

  const Case cases[] = {
      {"plain", {}, "2.1.0.7"},
      {"pe32+", pe32_plus, "2.1.0.7"},
      {"upper-case table key", upper_case_table, "2.1.0.7"},
      {"first pair wins", first_pair_wins, "3, 0"},
      {"as written, UTF-8", as_written, "1, 2, 3, 4 (Gr\u00fc\u00df \u20ac)"},
      {"no FileVersion string", no_string, ""},
      {"no table for the translation", no_table, ""},
      {"no translation table", no_translation, std::nullopt},
      {"empty translation table", empty_translation, std::nullopt},
      {"no resource directory", no_resources, std::nullopt},
      {"no version resource", only_icons, std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(VersionOf(BuildImage(c.layout).bytes), c.expected) << c.name;
}

TEST_F(FileVersionTest, FilesThatAreNoProgramsHaveNone) {
  EXPECT_EQ(platform::ReadFileVersion(folder_ / "missing.exe"), std::nullopt);
  EXPECT_EQ(platform::ReadFileVersion(folder_.path()), std::nullopt);
  const std::string inputs[] = {
      "",
      "MZ",
      "#!/bin/sh\necho hello\n",
      std::string(4096, '\0'),
      std::string(4096, '\xff'),
      "MZ" + std::string(62, '\xff'),  // PE header offset far beyond the end
  };
  for (const std::string& bytes : inputs) EXPECT_EQ(VersionOf(bytes), std::nullopt) << bytes.size();
}

TEST_F(FileVersionTest, TruncatedImagesHaveNone) {
  std::string image = BuildImage().bytes;
  ASSERT_EQ(VersionOf(image), "2.1.0.7");
  for (std::size_t length = 0; length < image.size(); ++length) {
    ASSERT_EQ(VersionOf(image.substr(0, length)), std::nullopt) << "length " << length;
  }
}

TEST_F(FileVersionTest, CyclicResourceDirectoriesEnd) {
  Image image = BuildImage();
  const std::size_t root_target = image.resources + 16 + 4;
  const std::size_t name_target = image.resources + 0x18 + 16 + 4;
  const std::size_t language_target = image.resources + 0x30 + 16 + 4;

  std::string self = image.bytes;  // the type entry leads back to the root
  Put32(self, root_target, 0x80000000u);
  EXPECT_EQ(VersionOf(self), std::nullopt);

  std::string back = image.bytes;  // the language level leads back to the types
  Put32(back, name_target, 0x80000000u);
  Put32(back, language_target, 0x80000000u);
  EXPECT_EQ(VersionOf(back), std::nullopt);
}

TEST_F(FileVersionTest, HostileSizesAndOffsetsAreRefused) {
  Image image = BuildImage();
  const std::size_t section = 0x40 + 4 + 20 + 224;
  const std::size_t data_entry = image.resources + 0x48;
  struct Patch {
    const char* name;
    std::size_t at;
    std::uint32_t value;
    std::optional<std::string> expected = std::nullopt;
  };
  const Patch patches[] = {
      {"section count 0xffff", 0x40 + 4 + 2, 0xffff},
      // Only what is needed is read, and that lies within the file.
      {"raw size beyond the file", section + 16, 0xfffffff0u, "2.1.0.7"},
      {"raw offset beyond the file", section + 20, 0xfffffff0u},
      {"resource RVA outside every section", 0x40 + 4 + 20 + 96 + 16, 0x7fff0000u},
      {"data RVA outside every section", data_entry, 0x00900000u},
      {"data size beyond the section", data_entry + 4, 0x10000000u},
      {"huge entry counts", image.resources + 12, 0xffffffffu},
      {"subdirectory beyond the section", image.resources + 16 + 4, 0x8fffffffu},
  };
  for (const Patch& patch : patches) {
    std::string bytes = image.bytes;
    Put32(bytes, patch.at, patch.value);
    EXPECT_EQ(VersionOf(bytes), patch.expected) << patch.name;
  }
}

TEST_F(FileVersionTest, DamagedVersionBlocksNeverReadOutside) {
  // Random changes to the version block and the tree: any result is
  // acceptable, only a crash (or, under the sanitizers, a bad read) is not.
  Image image = BuildImage();
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::size_t> position(image.resources, image.bytes.size() - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 400; ++round) {
    std::string bytes = image.bytes;
    for (int change = 0; change < 1 + round % 4; ++change) {
      bytes[position(random)] = static_cast<char>(byte(random));
    }
    auto version = VersionOf(bytes);
    if (version) {
      EXPECT_LE(version->size(), 3 * bytes.size());
    }
  }
}
