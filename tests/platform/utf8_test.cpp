#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8, DecodesValidSequencesAndRefusesTheRest) {
  struct Case {
    std::string bytes;
    char32_t code_point;
    std::size_t length;
  } cases[] = {
      {"A", U'A', 1},
      {std::string(1, '\0'), 0, 1},
      {"\xC3\xA9", 0xE9, 2},
      {"\xE2\x82\xAC", 0x20AC, 3},
      {"\xF0\x9F\x98\x80", 0x1F600, 4},
      {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
      {"\xEF\xBB\xBFx", 0xFEFF, 3},
      // Not UTF-8: continuation or invalid lead bytes, cut short, broken,
      // overlong, surrogates, beyond U+10FFFF.
      {"\x80", 0, 0},
      {"\xFF", 0, 0},
      {"\xF8\x88\x80\x80\x80", 0, 0},
      {"\xC3", 0, 0},
      {"\xE2\x82", 0, 0},
      {"\xC3(", 0, 0},
      {"\xC0\xAF", 0, 0},
      {"\xE0\x80\xAF", 0, 0},
      {"\xF0\x80\x80\xAF", 0, 0},
      {"\xED\xA0\x80", 0, 0},
      {"\xF4\x90\x80\x80", 0, 0},
  };
  for (const auto& c : cases) {
    const platform::Utf8Sequence sequence = platform::DecodeUtf8At(c.bytes, 0);
    EXPECT_EQ(sequence.code_point, c.code_point) << c.bytes;
    EXPECT_EQ(sequence.length, c.length) << c.bytes;
  }
}

TEST(Utf8, DecodesAtAnOffsetWithinTheText) {
  const std::string text = "a\xC3\xA9\xE2\x82";
  EXPECT_EQ(platform::DecodeUtf8At(text, 1).length, 2u);
  EXPECT_EQ(platform::DecodeUtf8At(text, 3).length, 0u);  // cut short by the end
}

TEST(Utf8, EncodingRoundTripsEveryLength) {
  for (char32_t code_point :
       {U'\0', U'A', char32_t{0x7F}, char32_t{0x80}, char32_t{0x7FF}, char32_t{0x800},
        char32_t{0xFFFD}, char32_t{0x10000}, char32_t{0x10FFFF}}) {
    std::string bytes;
    platform::AppendUtf8(bytes, code_point);
    const platform::Utf8Sequence sequence = platform::DecodeUtf8At(bytes, 0);
    EXPECT_EQ(sequence.code_point, code_point);
    EXPECT_EQ(sequence.length, bytes.size());
  }
}

}  // namespace
