#include "updater/description/read_text_file.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"
#include "updater/core/text.h"

namespace {

std::string Utf16Bytes(std::u16string_view text, bool bom, bool big_endian = false) {
  std::string out = !bom ? "" : big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : text) {
    const char low = static_cast<char>(u & 0xFF);
    const char high = static_cast<char>(u >> 8);
    out += big_endian ? high : low;
    out += big_endian ? low : high;
  }
  return out;
}

}  // namespace

TEST(ReadTextFile, DecodesEachStoredForm) {
  TempFolder folder;
  const std::string umlaut =
      "<A>Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC</A>";
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  } cases[] = {
      {"utf16.xml", Utf16Bytes(u"<A>Gr\u00FC\u00DFe \u20AC</A>", true), umlaut},
      {"utf16be.xml", Utf16Bytes(u"<A>Gr\u00FC\u00DFe \u20AC</A>", true, true), umlaut},
      {"utf16bepair.xml", Utf16Bytes(u"<A>\U0001F600</A>", true, true), "<A>\xF0\x9F\x98\x80</A>"},
      {"utf8.xml", umlaut, umlaut},
      {"utf8bom.xml", "\xEF\xBB\xBF" + umlaut, umlaut},
      {"cp1252.xml",
       "<A>Gr\xFC\xDF"
       "e \x80</A>",
       umlaut},
      {"ascii.xml", "<A>plain</A>", "<A>plain</A>"},
      {"empty.xml", "", ""},
      {"bomonly.xml", "\xFF\xFE", ""},
      {"oddbyte.xml", Utf16Bytes(u"<A/>", true) + "x", "<A/>"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadTextFile(folder.Write(c.name, c.bytes)), c.text) << c.name;
}

TEST(ReadTextFile, StopsAtTheFirstZeroAndRefusesAnEarlyStop) {
  TempFolder folder;
  const std::string text(100, 'a');
  struct Case {
    const char* name;
    std::string bytes;
    std::string text;
  } cases[] = {
      // UTF-16 without byte-order mark stops at once: far too short.
      {"nobom.xml", Utf16Bytes(u"<UPDATERLANGUAGE></UPDATERLANGUAGE>", false), ""},
      // A zero near the end cuts the text, within the tolerance of 20.
      {"tail.xml", text + std::string(1, '\0') + std::string(50, 'b'), text},
      // A zero in the first half is an early stop.
      {"early.xml", std::string(20, 'a') + std::string(1, '\0') + std::string(100, 'b'), ""},
      // Exactly at the limit: 121 bytes -> 60 - 20 = 40 units are enough.
      {"limit.xml", std::string(40, 'a') + std::string(1, '\0') + std::string(80, 'b'),
       std::string(40, 'a')},
      {"below.xml", std::string(39, 'a') + std::string(1, '\0') + std::string(81, 'b'), ""},
      // A short file never counts as stopped early.
      {"short.xml", std::string("ab") + std::string(1, '\0') + "cdefgh", "ab"},
      // In UTF-16 a zero unit ends the text the same way.
      {"utf16zero.xml", Utf16Bytes(u"abc", true) + std::string(2, '\0') + Utf16Bytes(u"def", false),
       "abc"},
      {"utf16bezero.xml",
       Utf16Bytes(u"abc", true, true) + std::string(2, '\0') + Utf16Bytes(u"def", false, true),
       "abc"},
      {"utf16early.xml",
       Utf16Bytes(u"ab", true) + std::string(2, '\0') + Utf16Bytes(std::u16string(60, u'x'), false),
       ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadTextFile(folder.Write(c.name, c.bytes)), c.text) << c.name;
}

TEST(ReadTextFile, CountsUtf8TextByItsBytes) {
  // Three bytes per character: as UTF-16 it is a third of the byte count, yet
  // nothing was cut off.
  TempFolder folder;
  std::string text;
  for (int i = 0; i < 200; ++i) text += "\xE6\x97\xA5";
  EXPECT_EQ(ReadTextFile(folder.Write("cjk.xml", text)), text);
}

TEST(ReadTextFile, MissingUnreadableOrHugeFilesGiveEmptyText) {
  TempFolder folder;
  EXPECT_EQ(ReadTextFile(folder / "missing.xml"), "");
  EXPECT_EQ(ReadTextFile(folder.path()), "");
  std::string huge(kMaxTextFileBytes + 1, 'a');
  EXPECT_EQ(ReadTextFile(folder.Write("huge.xml", huge)), "");
}
