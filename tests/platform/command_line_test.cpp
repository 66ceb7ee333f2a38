#include "platform/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct CommandLineCase {
  const char* name;
  std::vector<const char*> argv;
  std::optional<std::string> expected;
};

void PrintTo(const CommandLineCase& c, std::ostream* out) { *out << c.name; }

class ProgramArgumentText : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(ProgramArgumentText, QuotesEachArgument) {
  const CommandLineCase& c = GetParam();
  EXPECT_EQ(platform::ProgramArgumentText(static_cast<int>(c.argv.size()), c.argv.data()),
            c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgramArgumentText,
    ::testing::Values(CommandLineCase{"NoArguments", {"prog"}, std::string()},
                      CommandLineCase{
                          "Two", {"prog", "/a/b", "/c d/e"}, std::string("\"/a/b\" \"/c d/e\"")},
                      CommandLineCase{"EmptyArgument", {"prog", ""}, std::string("\"\"")},
                      CommandLineCase{"QuoteCannotBeCarried", {"prog", "a\"b"}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });
