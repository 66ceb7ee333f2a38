#include "updater/core/command_line_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/native_path.h"
#include "updater/core/updater_settings.h"

namespace {

enum class Outcome { kOk, kDouble, kUnknown, kValueExpected, kWrongType };

using Results = std::vector<std::pair<std::string, std::string>>;

// Parses with the updater's options; the results as (name, value) or the exception met.
Outcome ParseUpdaterLine(const std::string& line, Results* results) {
  CCommandLineParser parser;
  AddUpdaterOptions(parser);
  Outcome outcome = Outcome::kOk;
  try {
    parser.Parse(line);
  } catch (const DoubleParametersException&) {
    outcome = Outcome::kDouble;
  } catch (const UnknownParameterException&) {
    outcome = Outcome::kUnknown;
  } catch (const ValueExpectedException&) {
    outcome = Outcome::kValueExpected;
  } catch (const WrongTypeException&) {
    outcome = Outcome::kWrongType;
  }
  results->clear();
  for (std::size_t i = 0; i < parser.ResultCount(); ++i) {
    results->emplace_back(parser.Result(i).name, parser.Result(i).value);
  }
  return outcome;
}

TEST(CommandLineParser, ParsesTheUpdaterOptions) {
  struct Case {
    std::string line;
    Outcome outcome;
    Results results;  // only compared when the outcome is kOk
  } cases[] = {
      {"", Outcome::kOk, {}},
      {"   ", Outcome::kOk, {}},
      {"-MODE silent", Outcome::kOk, {{"-mode", "silent"}}},
      {"  -mode   silent  ", Outcome::kOk, {{"-mode", "silent"}}},
      {"-applocation \"C:\\Program Files\\My App\"",
       Outcome::kOk,
       {{"-applocation", "C:\\Program Files\\My App"}}},
      {"-applocation C:\\Program Files\\My App", Outcome::kUnknown, {}},
      {"-timeout abc", Outcome::kWrongType, {}},
      {"-timeout 0", Outcome::kOk, {{"-timeout", "0"}}},
      {"-timeout 5000", Outcome::kOk, {{"-timeout", "5000"}}},
      {"-timeout5000", Outcome::kOk, {{"-timeout", "5000"}}},
      {"-timeout 12abc", Outcome::kOk, {{"-timeout", "12abc"}}},
      {"-timeout 00", Outcome::kWrongType, {}},
      {"-appname=X", Outcome::kOk, {{"-appname", "=X"}}},
      {"-languageDE", Outcome::kOk, {{"-language", "DE"}}},
      {"-checkconnection yes", Outcome::kOk, {{"-checkconnection", "yes"}}},
      {"-checkconnection TRUE", Outcome::kOk, {{"-checkconnection", "TRUE"}}},
      {"-checkconnection maybe", Outcome::kWrongType, {}},
      {"-log -log", Outcome::kDouble, {}},
      {"-LOG -log", Outcome::kDouble, {}},
      {"-mode full -appname a -MODE silent", Outcome::kDouble, {}},
      {"-mode", Outcome::kValueExpected, {}},
      {"-appname a -mode   ", Outcome::kValueExpected, {}},
      {"-appname \"\"", Outcome::kValueExpected, {}},
      {"-appname\"\"", Outcome::kValueExpected, {}},
      {"-appname -mode", Outcome::kOk, {{"-appname", "-mode"}}},
      {"-appname -mode -mode full", Outcome::kOk, {{"-appname", "-mode"}, {"-mode", "full"}}},
      {"-restore -proxysettings -service -log -checkforupdates",
       Outcome::kOk,
       {{"-restore", ""},
        {"-proxysettings", ""},
        {"-service", ""},
        {"-log", ""},
        {"-checkforupdates", ""}}},
      {"stray", Outcome::kUnknown, {}},
      {"-mode silent stray", Outcome::kUnknown, {}},
      {"-logx", Outcome::kUnknown, {}},
      {"-log x", Outcome::kUnknown, {}},
      {"-", Outcome::kUnknown, {}},
      {"-appname \"a\"b", Outcome::kUnknown, {}},
      {"-appname \"open ended value", Outcome::kOk, {{"-appname", "open ended value"}}},
      {"-appname a\"b\"", Outcome::kOk, {{"-appname", "a\"b"}}},
      {"-appname\"My\"", Outcome::kOk, {{"-appname", "My"}}},
      // A quoted value ends at the first closing quote.
      {"-appname \"\"\"x\"\"\"", Outcome::kValueExpected, {}},
      {"-appname\"\"x\"\"", Outcome::kOk, {{"-appname", "x"}}},
      {"-appname Caf\xC3\xA9 -updatefile http://h/u.xml -mode hidden",
       Outcome::kOk,
       {{"-appname", "Caf\xC3\xA9"}, {"-updatefile", "http://h/u.xml"}, {"-mode", "hidden"}}},
  };
  for (const auto& c : cases) {
    Results results;
    EXPECT_EQ(ParseUpdaterLine(c.line, &results), c.outcome) << c.line;
    if (c.outcome == Outcome::kOk) {
      EXPECT_EQ(results, c.results) << c.line;
    }
  }
}

TEST(CommandLineParser, ExceptionsCarryFixedMessages) {
  EXPECT_STREQ(DoubleParametersException().what(), "Parameters are used twice");
  EXPECT_STREQ(UnknownParameterException().what(), "Unknown parameters are used");
  EXPECT_STREQ(ValueExpectedException().what(), "Value was expected, but none was given");
  EXPECT_STREQ(WrongTypeException().what(), "Wrong parameter type is used");
  // Callers catch them as standard exceptions.
  CCommandLineParser parser;
  AddUpdaterOptions(parser);
  try {
    parser.Parse("-bogus");
    FAIL();
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Unknown parameters are used");
  }
}

TEST(CommandLineParser, ResultsKeepTheDeclaredNameAndType) {
  CCommandLineParser parser;
  AddUpdaterOptions(parser);
  EXPECT_EQ(parser.OptionCount(), 21u);
  parser.Parse("-CHECKCONNECTION true -TimeOut 7 -LOG");
  ASSERT_EQ(parser.ResultCount(), 3u);
  EXPECT_EQ(parser.Result(0).name, "-checkconnection");
  EXPECT_TRUE(parser.Result(0).takes_value);
  EXPECT_EQ(parser.Result(0).value_type, kValueBoolean);
  EXPECT_EQ(parser.Result(1).name, "-timeout");
  EXPECT_EQ(parser.Result(1).value_type, kValueInteger);
  EXPECT_EQ(parser.Result(2).name, "-log");
  EXPECT_FALSE(parser.Result(2).takes_value);
  EXPECT_EQ(parser.Result(2).value, "");
}

TEST(CommandLineParser, ResultsBeforeAnExceptionStay) {
  CCommandLineParser parser;
  AddUpdaterOptions(parser);
  EXPECT_THROW(parser.Parse("-mode a -appname b -mode c"), DoubleParametersException);
  ASSERT_EQ(parser.ResultCount(), 2u);
  EXPECT_EQ(parser.Result(1).value, "b");
}

TEST(CommandLineParser, LookupIsExactFirstThenPrefixAndTheLastMatchWins) {
  {
    CCommandLineParser parser;
    parser.AddOption("-a", false, kValueString);
    parser.AddOption("-A", true, kValueString);
    parser.Parse("-a x");
    ASSERT_EQ(parser.ResultCount(), 1u);
    EXPECT_EQ(parser.Result(0).name, "-A");
    EXPECT_EQ(parser.Result(0).value, "x");
  }
  {
    CCommandLineParser parser;  // both are prefixes of "-abc": the later one wins
    parser.AddOption("-ab", true, kValueString);
    parser.AddOption("-a", true, kValueString);
    parser.Parse("-abc");
    EXPECT_EQ(parser.Result(0).name, "-a");
    EXPECT_EQ(parser.Result(0).value, "bc");
  }
  {
    CCommandLineParser parser;  // an exact match beats a later prefix
    parser.AddOption("-ab", false, kValueString);
    parser.AddOption("-a", true, kValueString);
    parser.Parse("-AB");
    EXPECT_EQ(parser.Result(0).name, "-ab");
  }
  {
    CCommandLineParser parser;
    parser.SetCaseSensitive(true);
    parser.AddOption("-a", false, kValueString);
    EXPECT_THROW(parser.Parse("-A"), UnknownParameterException);
  }
}

TEST(CommandLineParser, RefusesDescriptorsBeyondItsCapacity) {
  CCommandLineParser parser;
  EXPECT_FALSE(parser.AddOption("", false, kValueString));
  for (std::size_t i = 0; i < CCommandLineParser::kCapacity; ++i) {
    ASSERT_TRUE(parser.AddOption("-o" + std::to_string(i) + "x", false, kValueString));
  }
  EXPECT_FALSE(parser.AddOption("-extra", false, kValueString));
  EXPECT_EQ(parser.OptionCount(), CCommandLineParser::kCapacity);
  std::string line;
  for (std::size_t i = 0; i < CCommandLineParser::kCapacity; ++i) {
    line += "-o" + std::to_string(i) + "x ";
  }
  parser.Parse(line);
  EXPECT_EQ(parser.ResultCount(), CCommandLineParser::kCapacity);
  EXPECT_THROW(parser.Parse("-o0x"), DoubleParametersException);
  EXPECT_EQ(parser.ResultCount(), CCommandLineParser::kCapacity);
}

TEST(CommandLineParser, TypeChecks) {
  struct Case {
    const char* value;
    int type;
    bool valid;
  } cases[] = {
      {"yes", kValueBoolean, true},    {"No", kValueBoolean, true},
      {" TRUE ", kValueBoolean, true}, {"false", kValueBoolean, true},
      {"1", kValueBoolean, true},      {"0", kValueBoolean, true},
      {" 1", kValueBoolean, false},    {"2", kValueBoolean, false},
      {"y", kValueBoolean, false},     {"", kValueBoolean, false},
      {"0", kValueInteger, true},      {" 0 ", kValueInteger, true},
      {"00", kValueInteger, false},    {"abc", kValueInteger, false},
      {"12abc", kValueInteger, true},  {"-1", kValueInteger, true},
      {"", kValueInteger, false},      {"99999999999", kValueInteger, true},
      {"", kValueString, true},        {"anything", kValueStringAlt, true},
      {"anything", 4, false},          {"anything", -1, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidOptionValue(c.value, c.type), c.valid) << c.value << " / " << c.type;
  }
}

TEST(FindSettingsFileOption, TakesOnlyTheSettingsFile) {
  EXPECT_EQ(FindSettingsFileOption(""), "");
  EXPECT_EQ(FindSettingsFileOption("-mode silent"), "");
  EXPECT_EQ(FindSettingsFileOption("-settingsfile C:\\dir\\s.ini"), Native("C:/dir/s.ini"));
  EXPECT_EQ(FindSettingsFileOption("-mode silent -SETTINGSFILE \"/my dir/s.ini\" -log"),
            Native("/my dir/s.ini"));
  EXPECT_THROW(FindSettingsFileOption("-settingsfile"), ValueExpectedException);
  EXPECT_THROW(FindSettingsFileOption("-bogus -settingsfile a"), UnknownParameterException);
}

class ApplyCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { CUpdaterSettings::ResetInstance(); }
  void TearDown() override { CUpdaterSettings::ResetInstance(); }
  SettingsValues& values() { return CUpdaterSettings::Instance().MutableValues(); }
};

TEST_F(ApplyCommandLineTest, EmptyCommandLineOverridesNothing) {
  values().name = "From file";
  values().url = "http://host/updatefile.xml";
  ApplyCommandLine("");
  EXPECT_EQ(values().name, "From file");
  EXPECT_EQ(values().url, "http://host/updatefile.xml");
  EXPECT_EQ(values().run_mode, "full");
  EXPECT_EQ(values().server_timeout, 5000);
}

TEST_F(ApplyCommandLineTest, AppliesEveryOption) {
  ApplyCommandLine(
      "-language German -updatefile http://h/u.xml -timeout 1234 -appname \"My App\" "
      "-appversion 1.2.3.4 -applocation \"C:\\Program Files\\My App\\app.exe\" "
      "-approot C:\\Root -mode silent -ftpusername fu -ftppassword fp -httpusername hu "
      "-httppassword hp -checkconnection True -selfupdatelocation www.h.com\\self.xml "
      "-updateselector beta -settingsfile D:\\s.ini -restore -proxysettings -service -log "
      "-checkforupdates");
  const SettingsValues& v = values();
  EXPECT_EQ(v.language, "German");
  EXPECT_EQ(v.url, "http://h/u.xml");
  EXPECT_EQ(v.server_timeout, 1234);
  EXPECT_EQ(v.name, "My App");
  EXPECT_EQ(v.version, "1.2.3.4");
  EXPECT_EQ(v.location, Native("C:/Program Files/My App/app.exe"));
  EXPECT_EQ(v.root, Native("C:/Root"));
  EXPECT_EQ(v.run_mode, "silent");
  EXPECT_EQ(v.ftp_username, "fu");
  EXPECT_EQ(v.ftp_password, "fp");
  EXPECT_EQ(v.http_username, "hu");
  EXPECT_EQ(v.http_password, "hp");
  EXPECT_TRUE(v.check_connection);
  EXPECT_EQ(v.self_update, "www.h.com\\self.xml");
  EXPECT_EQ(v.update_selector, "beta");
  EXPECT_EQ(CUpdaterSettings::Instance().FilePath(), Native("D:/s.ini"));
}

TEST_F(ApplyCommandLineTest, CheckConnectionIsTrueOnlyForTrue) {
  struct Case {
    const char* value;
    bool expected;
  } cases[] = {{"true", true}, {"TRUE", true}, {"tRuE", true},  {"yes", false},
               {"1", false},   {"no", false},  {"false", false}};
  for (const auto& c : cases) {
    CUpdaterSettings::ResetInstance();
    values().check_connection = !c.expected;
    ApplyCommandLine(std::string("-checkconnection ") + c.value);
    EXPECT_EQ(values().check_connection, c.expected) << c.value;
  }
}

TEST_F(ApplyCommandLineTest, TimeoutUsesTheCLibraryConversion) {
  struct Case {
    const char* value;
    std::int32_t expected;
  } cases[] = {{"0", 0}, {"5000", 5000}, {"12abc", 12}, {"99999999999", INT_MAX}};
  for (const auto& c : cases) {
    ApplyCommandLine(std::string("-timeout ") + c.value);
    EXPECT_EQ(values().server_timeout, c.expected) << c.value;
  }
}

TEST_F(ApplyCommandLineTest, PathValuesReadBackslashesAsSeparatorsButWebLocationsStay) {
  struct Case {
    const char* line;
    std::string SettingsValues::*field;
    std::string expected;
  } cases[] = {
      {"-updatefile C:\\updates\\u.xml", &SettingsValues::url, Native("C:/updates/u.xml")},
      {"-updatefile http://h/a\\b.xml", &SettingsValues::url, "http://h/a\\b.xml"},
      {"-updatefile ftp://h/a\\b.xml", &SettingsValues::url, "ftp://h/a\\b.xml"},
      {"-selfupdatelocation ftp://h/a\\s.xml", &SettingsValues::self_update, "ftp://h/a\\s.xml"},
      {"-updatefile www.h.com\\u.xml", &SettingsValues::url, "www.h.com\\u.xml"},
      {"-selfupdatelocation \\\\server\\share\\s.xml", &SettingsValues::self_update,
       Native("//server/share/s.xml")},
      {"-selfupdatelocation https://h/s.xml", &SettingsValues::self_update, "https://h/s.xml"},
      {"-applocation /opt/app\\bin\\app", &SettingsValues::location, Native("/opt/app/bin/app")},
      {"-approot a\\b", &SettingsValues::root, Native("a/b")},
      {"-appname a\\b", &SettingsValues::name, "a\\b"},
      {"-appversion 1.0\\x", &SettingsValues::version, "1.0\\x"},
      {"-language User", &SettingsValues::language, "User"},
  };
  for (const auto& c : cases) {
    CUpdaterSettings::ResetInstance();
    ApplyCommandLine(c.line);
    EXPECT_EQ(values().*c.field, c.expected) << c.line;
  }
}

TEST_F(ApplyCommandLineTest, CredentialPlaceholdersInTheUrlAreFilledAfterAllOptions) {
  values().http_username = "user";
  values().http_password = "secret";
  ApplyCommandLine(
      "-updatefile ftp://%ftpusername%:%ftppassword%@h/u.xml -ftppassword pw -ftpusername bob");
  EXPECT_EQ(values().url, "ftp://bob:pw@h/u.xml");

  CUpdaterSettings::ResetInstance();
  values().http_username = "user";
  values().http_password = "secret";
  ApplyCommandLine("-updatefile http://%httpusername%:%httppassword%@h/u.xml");
  EXPECT_EQ(values().url, "http://user:secret@h/u.xml");

  // The location read from the settings file is filled as well.
  CUpdaterSettings::ResetInstance();
  values().url = "http://%httpusername%@h/u.xml";
  ApplyCommandLine("-httpusername carol");
  EXPECT_EQ(values().url, "http://carol@h/u.xml");
}

TEST_F(ApplyCommandLineTest, NothingIsAppliedWhenParsingFails) {
  EXPECT_THROW(ApplyCommandLine("-appname X -mode silent -bogus"), UnknownParameterException);
  EXPECT_EQ(values().name, "Unknown app");
  EXPECT_EQ(values().run_mode, "full");
  EXPECT_THROW(ApplyCommandLine("-appname X -timeout abc"), WrongTypeException);
  EXPECT_EQ(values().name, "Unknown app");
}

TEST(JoinCommandLine, JoinsArgumentsAndQuotesBlanks) {
  struct Case {
    std::vector<std::string> arguments;
    const char* line;
  } cases[] = {
      {{}, ""},
      {{"-mode", "silent"}, "-mode silent"},
      {{"-applocation", "/opt/My App/app"}, "-applocation \"/opt/My App/app\""},
      {{"-appname", ""}, "-appname \"\""},
      {{"-appname", "a\tb"}, "-appname a\tb"},
  };
  for (const auto& c : cases) EXPECT_EQ(JoinCommandLine(c.arguments), c.line);

  char program[] = "Velmora Updater";
  char mode[] = "-mode";
  char silent[] = "silent";
  char* argv[] = {program, mode, silent, nullptr};
  EXPECT_EQ(JoinCommandLine(3, argv), "-mode silent");
  EXPECT_EQ(JoinCommandLine(1, argv), "");
  EXPECT_EQ(JoinCommandLine(0, nullptr), "");
}

TEST(JoinCommandLine, RoundTripsThroughTheParser) {
  std::vector<std::string> arguments = {"-applocation", "/opt/My App/app",
                                        "-appname",     "Caf\xC3\xA9 Au Lait",
                                        "-timeout",     "100",
                                        "-appversion",  "1.0",
                                        "-log"};
  Results results;
  ASSERT_EQ(ParseUpdaterLine(JoinCommandLine(arguments), &results), Outcome::kOk);
  EXPECT_EQ(results, (Results{{"-applocation", "/opt/My App/app"},
                              {"-appname", "Caf\xC3\xA9 Au Lait"},
                              {"-timeout", "100"},
                              {"-appversion", "1.0"},
                              {"-log", ""}}));
  // An empty argument stays an (empty, so refused) value instead of taking the next option.
  EXPECT_EQ(ParseUpdaterLine(JoinCommandLine({"-appname", "", "-mode", "full"}), &results),
            Outcome::kValueExpected);
}

}  // namespace
