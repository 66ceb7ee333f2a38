#include "updater/core/text.h"

#include <gtest/gtest.h>

#include <climits>

TEST(Text, StringToIntFollowsTheCLibraryAndSaturates) {
  struct Case {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"", 0},           {"abc", 0},          {"00", 0},          {"12abc", 12},
      {"  -42", -42},    {"+7", 7},           {"\t5000", 5000},   {"2147483647", INT_MAX},
      {"2147483648", INT_MAX}, {"99999999999999999999", INT_MAX}, {"-2147483648", INT_MIN},
      {"-99999999999999999999", INT_MIN}, {"- 5", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(StringToInt(c.text), c.value) << c.text;
}

TEST(Text, DecodesTheThreeFileForms) {
  TextEncoding e;
  EXPECT_EQ(DecodeTextFile(std::string("\xFF\xFE" "A\0\xE9\0", 6), &e), "A\xC3\xA9");
  EXPECT_EQ(e, TextEncoding::kUtf16LeBom);
  EXPECT_EQ(DecodeTextFile("A\xC3\xA9", &e), "A\xC3\xA9");
  EXPECT_EQ(e, TextEncoding::kUtf8);
  EXPECT_EQ(DecodeTextFile("A\xE9\x80", &e), "A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(e, TextEncoding::kWindows1252);
  EXPECT_EQ(DecodeTextFile("\xEF\xBB\xBFx", &e), "x");
  EXPECT_EQ(e, TextEncoding::kUtf8Bom);
  for (auto enc : {TextEncoding::kUtf8, TextEncoding::kUtf8Bom, TextEncoding::kUtf16LeBom,
                   TextEncoding::kWindows1252}) {
    std::string text = "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC";
    EXPECT_EQ(DecodeTextFile(EncodeTextFile(text, enc)), text);
  }
}

// Big-endian UTF-16 reads like little-endian: its zero high bytes come first
// and must not end the text.
TEST(Text, DecodesBigEndianUtf16) {
  const std::string bytes({'\xFE', '\xFF', '\0', 'A', '\0', '\xE9', '\xD8', '\x3D', '\xDE', '\0'});
  TextEncoding e = TextEncoding::kUtf8;
  EXPECT_EQ(DecodeTextFile(bytes, &e), "A\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(e, TextEncoding::kUtf16BeBom);
  EXPECT_EQ(EncodeTextFile("A\xC3\xA9\xF0\x9F\x98\x80", e), bytes);
  EXPECT_EQ(Utf16BomOf(bytes), TextEncoding::kUtf16BeBom);
  EXPECT_EQ(Utf16BomOf("\xFF\xFE"), TextEncoding::kUtf16LeBom);
  EXPECT_EQ(Utf16BomOf("\xFE"), std::nullopt);
  EXPECT_EQ(Utf16Units(bytes.substr(2, 5), TextEncoding::kUtf16BeBom), u"A\u00E9");
}

TEST(Text, HasControlCharacter) {
  EXPECT_FALSE(HasControlCharacter("1.2.0 beta \xC3\xA9"));
  for (const char* text : {"1.0\n", "\r1", "1\t2", "\x7F", "\x1F"})
    EXPECT_TRUE(HasControlCharacter(text)) << text;
  EXPECT_TRUE(HasControlCharacter(std::string("1\0", 2)));
}

TEST(Text, Utf16RoundTripAndTruncation) {
  std::string text = "a\xF0\x9F\x98\x80" "b";  // a, U+1F600, b
  EXPECT_EQ(Utf16Length(text), 4u);
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text);
  EXPECT_EQ(TruncateUtf16(text, 2), "a");  // the pair is never split
  EXPECT_EQ(TruncateUtf16(text, 3), "a\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToUtf16("\xFF"), std::u16string(1, u'\xFFFD'));
}

TEST(Text, LowerCaseAndComparison) {
  EXPECT_EQ(ToLower("ABC \xC3\x84\xC3\x96 \xD0\x96"), "abc \xC3\xA4\xC3\xB6 \xD0\xB6");
  EXPECT_TRUE(EqualsNoCase("UpdateInfo", "UPDATEINFO"));
  EXPECT_FALSE(EqualsNoCase("UpdateInfo", "UPDATEINF"));
}

TEST(Text, ReplaceAllDoesNotRescanInsertedText) {
  EXPECT_EQ(ReplaceAll("%a%%a%", "%a%", "%a%x"), "%a%x%a%x");
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
}

TEST(Text, FillPlaceholdersIsSafeWithStrayDirectives) {
  EXPECT_EQ(FillPlaceholders("%s took %d ms", {"run", "15"}), "run took 15 ms");
  EXPECT_EQ(FillPlaceholders("%s %s %n %x 100%%", {"a"}), "a %s %n %x 100%");
  EXPECT_EQ(FillPlaceholders("%s", {"%s%d"}), "%s%d");
}
