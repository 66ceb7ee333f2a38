#include "platform/process.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
  const char* parameters;
  std::vector<std::string> arguments;
};

class SplitCommandLineCase : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineCase, FollowsTheCommandLineRules) {
  EXPECT_EQ(platform::SplitCommandLine(GetParam().parameters), GetParam().arguments)
      << "parameters: " << GetParam().parameters;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitCommandLineCase,
    ::testing::Values(
        SplitCase{"", {}}, SplitCase{"   \t ", {}}, SplitCase{"a", {"a"}},
        SplitCase{"  a   b\tc  ", {"a", "b", "c"}}, SplitCase{R"("a b" c)", {"a b", "c"}},
        SplitCase{R"(x"a b"y)", {"xa by"}},  // quotes group inside a word
        SplitCase{R"("" a)", {"", "a"}},     // an empty quoted argument
        SplitCase{R"(a "")", {"a", ""}}, SplitCase{R"("unterminated part)", {"unterminated part"}},
        SplitCase{R"(\"a\")", {"\"a\""}},      // escaped quotes
        SplitCase{R"(a\\"b c")", {"a\\b c"}},  // 2n backslashes: n, quote acts
        SplitCase{R"(a\\\"b)", {"a\\\"b"}},    // 2n+1: n and a literal quote
        SplitCase{R"(C:\path\to\file.txt)", {"C:\\path\\to\\file.txt"}},  // plain backslashes
        SplitCase{R"("C:\folder\\" next)", {"C:\\folder\\", "next"}},
        SplitCase{R"("a ""quoted"" word")", {"a \"quoted\" word"}},  // "" inside quotes
        SplitCase{R"(-flag="x y" --o)", {"-flag=x y", "--o"}},
        SplitCase{"caf\xc3\xa9 \"\xe2\x82\xac 1\"", {"caf\xc3\xa9", "\xe2\x82\xac 1"}}));

}  // namespace
