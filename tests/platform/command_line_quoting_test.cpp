// JoinCommandLine writes the text that SplitCommandLine (the Windows
// command-line rules) splits back into the same arguments.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/process.h"

namespace {

struct QuotingCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string expected;
};

void PrintTo(const QuotingCase& c, std::ostream* out) { *out << c.name; }

class JoinCommandLine : public ::testing::TestWithParam<QuotingCase> {};

TEST_P(JoinCommandLine, QuotesAsTheSplitterExpects) {
  const QuotingCase& c = GetParam();
  const std::string line = platform::JoinCommandLine(c.arguments);
  EXPECT_EQ(line, c.expected);
  EXPECT_EQ(platform::SplitCommandLine(line), c.arguments);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JoinCommandLine,
    ::testing::Values(
        QuotingCase{"Plain", {"C:\\App\\app.exe", "/s", "-x"}, "C:\\App\\app.exe /s -x"},
        QuotingCase{"Blank",
                    {"C:\\Program Files\\a.exe", "two words"},
                    "\"C:\\Program Files\\a.exe\" \"two words\""},
        QuotingCase{"Tab", {"a\tb"}, "\"a\tb\""}, QuotingCase{"Empty", {"a", "", "b"}, "a \"\" b"},
        QuotingCase{"OnlyEmpty", {""}, "\"\""},
        QuotingCase{"Quote", {"say \"hi\""}, "\"say \\\"hi\\\"\""},
        QuotingCase{"QuoteWithoutBlank", {"a\"b"}, "\"a\\\"b\""},
        QuotingCase{"BackslashesInside", {"C:\\a b\\c"}, "\"C:\\a b\\c\""},
        QuotingCase{"BackslashBeforeQuote", {"a\\\"b"}, "\"a\\\\\\\"b\""},
        QuotingCase{"TwoBackslashesBeforeQuote", {"a\\\\\"b"}, "\"a\\\\\\\\\\\"b\""},
        QuotingCase{"TrailingBackslashQuoted", {"C:\\a b\\"}, "\"C:\\a b\\\\\""},
        QuotingCase{"TrailingBackslashPlain", {"C:\\dir\\"}, "C:\\dir\\"},
        QuotingCase{"NoArguments", {}, ""}),
    [](const ::testing::TestParamInfo<QuotingCase>& info) { return info.param.name; });

}  // namespace
