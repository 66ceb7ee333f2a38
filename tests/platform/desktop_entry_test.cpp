#include "platform/posix/desktop_entry.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

struct EscapeCase {
  std::string value;
  std::optional<std::string> escaped;
};

class DesktopValueEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(DesktopValueEscape, EscapesOrRefusesAndReadsBack) {
  const EscapeCase& c = GetParam();
  EXPECT_EQ(platform::EscapeDesktopValue(c.value), c.escaped);
  if (c.escaped) {
    EXPECT_EQ(platform::UnescapeDesktopValue(*c.escaped), c.value);
    EXPECT_EQ(c.escaped->find('\n'), std::string::npos);
    EXPECT_EQ(c.escaped->find('\r'), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, DesktopValueEscape,
    ::testing::Values(EscapeCase{"Velmora", "Velmora"}, EscapeCase{"", ""},
                      EscapeCase{"a b", "a b"}, EscapeCase{" lead", "\\slead"},
                      EscapeCase{"trail ", "trail\\s"}, EscapeCase{"C:\\App", "C:\\\\App"},
                      EscapeCase{"one\nExec=/bin/evil", "one\\nExec=/bin/evil"},
                      EscapeCase{"cr\r\ttab", "cr\\r\\ttab"},
                      EscapeCase{"Grüße 日本", "Grüße 日本"},
                      EscapeCase{"key=value [group]", "key=value [group]"},
                      EscapeCase{std::string("nul\0x", 5), std::nullopt},
                      EscapeCase{"bell\a", std::nullopt}, EscapeCase{"del\x7f", std::nullopt},
                      EscapeCase{"latin1 \xe9", std::nullopt},
                      EscapeCase{"overlong \xc0\xaf", std::nullopt},
                      EscapeCase{"surrogate \xed\xa0\x80", std::nullopt}));

TEST(DesktopExec, QuotesEveryArgumentAndSplitsBack) {
  EXPECT_EQ(platform::QuoteExecArgument("/opt/app/app"), "\"/opt/app/app\"");
  EXPECT_EQ(platform::QuoteExecArgument(""), "\"\"");
  EXPECT_EQ(platform::QuoteExecArgument("a\"b`c$d\\e%f"), "\"a\\\"b\\`c\\$d\\\\e%%f\"");

  const std::vector<std::string> arguments = {
      "/opt/Velmora App/app", "",         "two words", "$HOME",      "%f",
      "back\\slash",          "quote\"d", "`id`",      "line\nbreak"};
  const std::string exec = platform::FormatExecValue(arguments);
  EXPECT_EQ(platform::SplitExecValue(exec), arguments);
  // Through the value escaping of the file, as a reader sees it.
  const auto escaped = platform::EscapeDesktopValue(exec);
  ASSERT_TRUE(escaped);
  EXPECT_EQ(escaped->find('\n'), std::string::npos);
  EXPECT_EQ(platform::SplitExecValue(platform::UnescapeDesktopValue(*escaped)), arguments);
}

TEST(DesktopExec, SplitsUnquotedArgumentsAndDropsFieldCodes) {
  EXPECT_EQ(platform::SplitExecValue("app  --x %U 100%%"),
            (std::vector<std::string>{"app", "--x", "100%"}));
  EXPECT_EQ(platform::SplitExecValue("\"unterminated"), std::nullopt);
}

TEST(DesktopEntryWriter, WritesOneLinePerKeyAndRefusesWhatItCannotWrite) {
  platform::DesktopEntryWriter entry;
  EXPECT_TRUE(entry.Add("Name", "App\nType=Link"));
  EXPECT_FALSE(entry.Add("Comment", std::string("x\0y", 3)));
  EXPECT_FALSE(entry.AddExec({}));
  EXPECT_FALSE(entry.AddExec({""}));
  EXPECT_TRUE(entry.AddExec({"/opt/app", "-a"}));
  EXPECT_EQ(entry.Text(), "[Desktop Entry]\nName=App\\nType=Link\nExec=\"/opt/app\" \"-a\"\n");
  const auto values = platform::ParseDesktopEntry(entry.Text());
  ASSERT_TRUE(values);
  EXPECT_EQ(values->size(), 2u);
  EXPECT_EQ(values->at("Name"), "App\nType=Link");
}

TEST(DesktopEntryReader, ReadsOnlyTheDesktopEntryGroup) {
  const auto values = platform::ParseDesktopEntry(
      "# comment\n[Other]\nName=other\n[Desktop Entry]\r\n Name = App \r\nName=second\n"
      "Comment=a\\sb\\\\c\nbroken line\n[Desktop Action x]\nExec=elsewhere\n");
  ASSERT_TRUE(values);
  EXPECT_EQ(*values, (std::map<std::string, std::string>{{"Name", "App"}, {"Comment", "a b\\c"}}));
  EXPECT_EQ(platform::ParseDesktopEntry("[Other]\nName=x\n"), std::nullopt);
}

}  // namespace
