#include "updater/tasks/net/update_api_answer.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "updater/description/update_file_data.h"

namespace {

constexpr char kPath[] = "/app/getUpdate/browser2/win?v=";

// --- Address of the query ---------------------------------------------------

TEST(UpdateApiUrlTest, HostPathAndEncodedVersion) {
  struct Case {
    const char* host;
    const char* version;
    std::string url;
  };
  const Case cases[] = {
      {"api.test", "1.2.3.4", std::string("https://api.test") + kPath + "1.2.3.4"},
      {"127.0.0.1:8443", "1.0", std::string("https://127.0.0.1:8443") + kPath + "1.0"},
      {"[::1]:8443", "1.0", std::string("https://[::1]:8443") + kPath + "1.0"},
      {"api.test", "1, 2_3-4~", std::string("https://api.test") + kPath + "1%2C%202_3-4~"},
      // Characters that would end or change the query are encoded.
      {"api.test", "1&x=2#f/?", std::string("https://api.test") + kPath + "1%26x%3D2%23f%2F%3F"},
      {"api.test", "1.0\r\n\xC3\xA9", std::string("https://api.test") + kPath + "1.0%0D%0A%C3%A9"},
      {"api.test", "", std::string("https://api.test") + kPath},
  };
  for (const Case& c : cases) EXPECT_EQ(UpdateApiUrl(c.host, c.version), c.url) << c.host;
}

TEST(UpdateApiUrlTest, HostThatIsNoHostNameGivesNoAddress) {
  for (const char* host :
       {"", "evil.test/x?", "user@api.test", "api.test#", "api test", "api.test:0",
        "api.test:65536", "api.test:", "api.test:80x", ".api.test", "api..test", "api.test.",
        "[::1", "::1", "[zz::1]", "api.test\n", "-:1:2"}) {
    EXPECT_FALSE(IsValidApiHost(host)) << host;
    EXPECT_EQ(UpdateApiUrl(host, "1.0"), "") << host;
  }
  const std::string label63(63, 'a');
  EXPECT_TRUE(IsValidApiHost(label63 + ".test:65535"));
  EXPECT_FALSE(IsValidApiHost(label63 + "a.test"));
  EXPECT_FALSE(IsValidApiHost(std::string(254, 'a')));
}

TEST(UpdateApiVersionTextTest, PlainVersionTexts) {
  for (const std::string& version :
       std::vector<std::string>{"1", "2.0.1", "10.0.0-beta_2", std::string(64, '9')})
    EXPECT_TRUE(IsPlainVersionText(version)) << version;
  for (const std::string& version :
       std::vector<std::string>{"", " 1.0", "1.0 ", "1/0", "../1", "1;2", "1.0\n", "v\xC3\xA9",
                                "%31", std::string(65, '9')})
    EXPECT_FALSE(IsPlainVersionText(version)) << version;
}

// --- Reading the answer -----------------------------------------------------

struct ParseCase {
  const char* name;
  std::string text;
  std::optional<bool> has_update;
  std::optional<std::string> version;
  bool url_null;
  std::optional<std::string> url;
  bool refused;  // something present was not taken
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseUpdateApiAnswerTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseUpdateApiAnswerTest, Values) {
  const ParseCase& c = GetParam();
  UpdateApiAnswer answer = ParseUpdateApiAnswer(c.text);
  EXPECT_EQ(answer.has_update, c.has_update);
  EXPECT_EQ(answer.version, c.version);
  EXPECT_EQ(answer.url_null, c.url_null);
  EXPECT_EQ(answer.url, c.url);
  EXPECT_EQ(!answer.refused.empty(), c.refused) << answer.refused;
}

const std::string kLongUrl = "https://h.test/" + std::string(kMaxUpdateApiUrlLength - 15, 'a');

// A valid answer of exactly n bytes: the object padded with white space.
std::string PaddedAnswer(std::size_t n) {
  const std::string object = R"({"hasUpdate":true,"version":"2.0"})";
  return object + std::string(n - object.size(), ' ');
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseUpdateApiAnswerTest,
    ::testing::Values(
        ParseCase{"Empty", "", std::nullopt, std::nullopt, false, std::nullopt, false},
        ParseCase{"Complete", R"({"hasUpdate":true,"version":"2.0.1","url":"https://h.test/a"})",
                  true, "2.0.1", false, "https://h.test/a", false},
        ParseCase{"SpacesFalseAndNull", "{ \"hasUpdate\" : false ,\n \"url\" : null }", false,
                  std::nullopt, true, std::nullopt, false},
        ParseCase{"WordsInAnyCase", R"({"hasUpdate":"TRUE","url":"NuLL"})", true, std::nullopt,
                  true, std::nullopt, false},
        ParseCase{"WordFalse", R"({"hasUpdate":"False"})", false, std::nullopt, false, std::nullopt,
                  false},
        ParseCase{"HasUpdateOtherWord", R"({"hasUpdate":"maybe","version":"2"})", std::nullopt, "2",
                  false, std::nullopt, false},
        ParseCase{"HasUpdateNumber", R"({"hasUpdate":1})", std::nullopt, std::nullopt, false,
                  std::nullopt, false},
        // The address holds the word "version": it is no version value.
        ParseCase{"KeysMatchExactly",
                  R"({"url":"http://h.test/version/2","version":"2","hasUpdateX":true,"URL":null})",
                  std::nullopt, "2", false, "http://h.test/version/2", false},
        ParseCase{"LaterOverrides", R"({"version":"1","version":"2"})", std::nullopt, "2", false,
                  std::nullopt, false},
        ParseCase{"NestedKeysDoNotCount", R"({"data":{"hasUpdate":true,"version":"2"}})",
                  std::nullopt, std::nullopt, false, std::nullopt, false},
        ParseCase{"LongestUrl", R"({"url":")" + kLongUrl + R"("})", std::nullopt, std::nullopt,
                  false, kLongUrl, false},
        ParseCase{"LongestAnswer", PaddedAnswer(kMaxUpdateApiAnswerBytes), true, "2.0", false,
                  std::nullopt, false},
        // Values that are refused.
        ParseCase{"UrlOverlong", R"({"url":")" + kLongUrl + R"(a"})", std::nullopt, std::nullopt,
                  false, std::nullopt, true},
        ParseCase{"UrlOtherScheme", R"({"url":"ftp://h.test/http"})", std::nullopt, std::nullopt,
                  false, std::nullopt, true},
        ParseCase{"UrlWithSpace", R"({"url":"https://h.test/a b"})", std::nullopt, std::nullopt,
                  false, std::nullopt, true},
        ParseCase{"UrlWithLineBreak", R"({"url":"https://h.test/a\r\nX: y"})", std::nullopt,
                  std::nullopt, false, std::nullopt, true},
        ParseCase{"UrlNumber", R"({"url":5})", std::nullopt, std::nullopt, false, std::nullopt,
                  true},
        ParseCase{"VersionWithPath", R"({"hasUpdate":true,"version":"../../x"})", true,
                  std::nullopt, false, std::nullopt, true},
        ParseCase{"VersionWithControl", R"({"version":"2.0\u0000"})", std::nullopt, std::nullopt,
                  false, std::nullopt, true},
        ParseCase{"VersionWithLineBreak", R"({"hasUpdate":true,"version":"2.0\n"})", true,
                  std::nullopt, false, std::nullopt, true},
        ParseCase{"VersionWithTab", R"({"hasUpdate":true,"version":"2.\t0"})", true, std::nullopt,
                  false, std::nullopt, true},
        ParseCase{"VersionTooLong", R"({"version":")" + std::string(65, '1') + R"("})",
                  std::nullopt, std::nullopt, false, std::nullopt, true},
        ParseCase{"VersionNumber", R"({"version":2.5})", std::nullopt, std::nullopt, false,
                  std::nullopt, true},
        ParseCase{"VersionEmpty", R"({"version":""})", std::nullopt, std::nullopt, false,
                  std::nullopt, true},
        // Answers that are not read at all.
        ParseCase{"NotJson", "hasUpdate:true,version:2.0,url:https://h.test", std::nullopt,
                  std::nullopt, false, std::nullopt, true},
        ParseCase{"Truncated", R"({"hasUpdate":true,"version":"2.0")", std::nullopt, std::nullopt,
                  false, std::nullopt, true},
        ParseCase{"TrailingText", R"({"hasUpdate":true} x)", std::nullopt, std::nullopt, false,
                  std::nullopt, true},
        ParseCase{"NotUtf8", "{\"hasUpdate\":true,\"version\":\"2\xff\"}", std::nullopt,
                  std::nullopt, false, std::nullopt, true},
        ParseCase{"TopLevelArray", R"([{"hasUpdate":true,"version":"2"}])", std::nullopt,
                  std::nullopt, false, std::nullopt, true},
        ParseCase{"DeeplyNested", std::string(30000, '[') + std::string(30000, ']'), std::nullopt,
                  std::nullopt, false, std::nullopt, true},
        ParseCase{"Overlong", PaddedAnswer(kMaxUpdateApiAnswerBytes + 1), std::nullopt,
                  std::nullopt, false, std::nullopt, true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Applying it to the update file -----------------------------------------

CFileData FileWithDownload(bool needed, std::vector<std::string> locations) {
  CFileData file;
  file.update_needed = needed;
  file.actions.push_back(CFileActionCopy{});
  CFileActionDownload first;
  first.locations = std::move(locations);
  file.actions.push_back(std::move(first));
  CFileActionDownload second;
  second.locations = {"https://second.test/f"};
  file.actions.push_back(std::move(second));
  return file;
}

const std::vector<std::string>& Locations(const CFileData& file, std::size_t action) {
  return std::get<CFileActionDownload>(file.actions[action]).locations;
}

TEST(ApplyUpdateApiAnswerTest, HasUpdateTrueSetsVersionAndFirstLocationOfNeededFiles) {
  CUpdateFileData data;
  data.version = "1.0";
  data.files.push_back(FileWithDownload(true, {"https://a.test/f", "https://b.test/f"}));
  data.files.push_back(FileWithDownload(false, {"https://a.test/g"}));
  data.files.push_back(FileWithDownload(true, {}));
  ApplyUpdateApiAnswer(
      ParseUpdateApiAnswer(R"({"hasUpdate":"TRUE","version":"2.0","url":"https://new.test/f"})"),
      data);
  EXPECT_EQ(data.version, "2.0");
  EXPECT_EQ(Locations(data.files[0], 1),
            (std::vector<std::string>{"https://new.test/f", "https://b.test/f"}));
  EXPECT_EQ(Locations(data.files[0], 2), std::vector<std::string>{"https://second.test/f"});
  EXPECT_EQ(Locations(data.files[1], 1), std::vector<std::string>{"https://a.test/g"});
  EXPECT_TRUE(Locations(data.files[2], 1).empty());
}

struct ApplyCase {
  const char* name;
  const char* answer;
  const char* version_after;
  const char* location_after;
};
void PrintTo(const ApplyCase& c, std::ostream* os) { *os << c.name; }

class ApplyUpdateApiAnswerTableTest : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(ApplyUpdateApiAnswerTableTest, VersionAndLocation) {
  const ApplyCase& c = GetParam();
  CUpdateFileData data;
  data.version = "3.0";
  data.files.push_back(FileWithDownload(true, {"https://a.test/f"}));
  ApplyUpdateApiAnswer(ParseUpdateApiAnswer(c.answer), data);
  EXPECT_EQ(data.version, c.version_after);
  EXPECT_EQ(Locations(data.files[0], 1), std::vector<std::string>{c.location_after});
}

INSTANTIATE_TEST_SUITE_P(
    Table, ApplyUpdateApiAnswerTableTest,
    ::testing::Values(
        ApplyCase{"Empty", "", "3.0", "https://a.test/f"},
        ApplyCase{"NoUpdate", R"({"hasUpdate":false,"version":"9.0","url":"https://h.test"})",
                  "1.0.0", "https://a.test/f"},
        ApplyCase{"UrlNullWithUpdate", R"({"hasUpdate":true,"version":"9.0","url":null})", "1.0.0",
                  "https://a.test/f"},
        ApplyCase{"UrlNullAlone", R"({"url":"null"})", "1.0.0", "https://a.test/f"},
        ApplyCase{"OtherWord", R"({"hasUpdate":"maybe","version":"9.0","url":"https://h.test"})",
                  "3.0", "https://a.test/f"},
        ApplyCase{"NoHasUpdate", R"({"version":"9.0"})", "3.0", "https://a.test/f"},
        ApplyCase{"UpdateWithoutUrl", R"({"hasUpdate":true,"version":"9.0"})", "9.0",
                  "https://a.test/f"},
        ApplyCase{"UpdateWithHttpUrl",
                  R"({"hasUpdate":true,"version":"9.0","url":"http://h.test/s"})", "9.0",
                  "http://h.test/s"},
        // An update without a usable version is not taken at all.
        ApplyCase{"UpdateWithoutVersion", R"({"hasUpdate":true,"url":"https://h.test/s"})", "3.0",
                  "https://a.test/f"},
        ApplyCase{"UpdateWithBadVersion",
                  R"({"hasUpdate":true,"version":"9.0<x>","url":"https://h.test/s"})", "3.0",
                  "https://a.test/f"},
        // A refused address leaves the locations alone.
        ApplyCase{"UpdateWithFileUrl",
                  R"({"hasUpdate":true,"version":"9.0","url":"file:///etc/http"})", "9.0",
                  "https://a.test/f"},
        ApplyCase{"NotJson", "hasUpdate:false", "3.0", "https://a.test/f"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
