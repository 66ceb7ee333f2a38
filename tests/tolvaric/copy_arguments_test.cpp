#include "tolvaric/copy_arguments.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

struct ArgumentsCase {
  const char* name;
  std::string command_line;
  std::optional<CopyArguments> expected;
};

void PrintTo(const ArgumentsCase& c, std::ostream* out) { *out << c.name; }

bool operator==(const CopyArguments& a, const CopyArguments& b) {
  return a.source == b.source && a.destination == b.destination;
}

void PrintTo(const CopyArguments& a, std::ostream* out) {
  *out << "{" << a.source << " | " << a.destination << "}";
}

class ParseCopyArgumentsTest : public ::testing::TestWithParam<ArgumentsCase> {};

TEST_P(ParseCopyArgumentsTest, FindsSourceAndDestination) {
  const ArgumentsCase& c = GetParam();
  EXPECT_EQ(ParseCopyArguments(c.command_line), c.expected);
}

const std::string kLong(kMaxCopyArgumentBytes + 1, 'x');
const std::string kLongest(kMaxCopyArgumentBytes, 'y');

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCopyArgumentsTest,
    ::testing::Values(
        ArgumentsCase{"BothQuoted", "\"/tmp/Velmora Updater\" \"/opt/app/Velmora Updater\"",
                      CopyArguments{"/tmp/Velmora Updater", "/opt/app/Velmora Updater"}},
        ArgumentsCase{"BothPlain", "/tmp/new /opt/old", CopyArguments{"/tmp/new", "/opt/old"}},
        ArgumentsCase{"LeadingAndBetweenWhiteSpace", "  \t\"/a b\" \t \"/c\"",
                      CopyArguments{"/a b", "/c"}},
        ArgumentsCase{"PlainArgumentEndsAtBlankNotTab", "/a\t/b /c", CopyArguments{"/a\t/b", "/c"}},
        ArgumentsCase{"QuotesInsidePlainArgumentAreRemoved", "/a\"x\" /b",
                      CopyArguments{"/ax", "/b"}},
        ArgumentsCase{"TextAfterClosingQuoteStartsTheNextArgument", "\"/a\"/b /c",
                      CopyArguments{"/a", "/b"}},
        ArgumentsCase{"ThirdArgumentIgnored", "\"/a\" \"/b\" \"/c\"", CopyArguments{"/a", "/b"}},
        ArgumentsCase{"UnquotedLastArgumentRunsToTheEnd", "\"/a\" /b", CopyArguments{"/a", "/b"}},
        ArgumentsCase{"MissingClosingQuoteRunsToTheEnd", "\"/a\" \"/b c",
                      CopyArguments{"/a", "/b c"}},
        ArgumentsCase{"LongestPathAccepted", "\"/a\" \"" + kLongest + "\"",
                      CopyArguments{"/a", kLongest}},
        ArgumentsCase{"Empty", "", std::nullopt}, ArgumentsCase{"OnlyBlanks", "   ", std::nullopt},
        ArgumentsCase{"OneArgument", "\"/a\"", std::nullopt},
        ArgumentsCase{"EmptyQuotedSource", "\"\" \"/b\"", std::nullopt},
        ArgumentsCase{"EmptyQuotedDestination", "\"/a\" \"\"", std::nullopt},
        ArgumentsCase{"OnlyQuotes", "\"\"\"\"", std::nullopt},
        ArgumentsCase{"TooLong", "\"/a\" \"" + kLong + "\"", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TakeCopyArgument, TakesOneArgumentAndTheBlanksAfterIt) {
  std::string_view text = "\"/a b\"   /c d";
  EXPECT_EQ(TakeCopyArgument(text), "/a b");
  EXPECT_EQ(text, "/c d");
  EXPECT_EQ(TakeCopyArgument(text), "/c");
  EXPECT_EQ(text, "d");
  EXPECT_EQ(TakeCopyArgument(text), "d");
  EXPECT_EQ(text, "");
  EXPECT_EQ(TakeCopyArgument(text), std::nullopt);
}
