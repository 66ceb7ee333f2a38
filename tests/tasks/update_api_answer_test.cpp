#include "updater/tasks/update_api_answer.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "updater/description/update_file_data.h"

namespace {

TEST(UpdateApiUrlTest, HostPathAndVersion) {
  EXPECT_EQ(UpdateApiUrl("api.test", "1.2.3.4"),
            "https://api.test/app/getUpdate/browser2/win?v=1.2.3.4");
  EXPECT_EQ(UpdateApiUrl("api.test", "1, 2_3-4~"),
            "https://api.test/app/getUpdate/browser2/win?v=1,%202_3-4~");
  // Characters that would end or change the query are encoded.
  EXPECT_EQ(UpdateApiUrl("api.test", "1&x=2#f"),
            "https://api.test/app/getUpdate/browser2/win?v=1%26x%3D2%23f");
}

struct ParseCase {
  const char* name;
  std::string text;
  std::optional<std::string> has_update;
  std::optional<std::string> version;
  std::optional<std::string> url;
};

class ParseUpdateApiAnswerTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseUpdateApiAnswerTest, Values) {
  const ParseCase& c = GetParam();
  UpdateApiAnswer answer = ParseUpdateApiAnswer(c.text);
  EXPECT_EQ(answer.has_update, c.has_update);
  EXPECT_EQ(answer.version, c.version);
  EXPECT_EQ(answer.url, c.url);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseUpdateApiAnswerTest,
    ::testing::Values(
        ParseCase{"Empty", "", std::nullopt, std::nullopt, std::nullopt},
        ParseCase{"Complete", R"({"hasUpdate":true,"version":"2.0.1","url":"https://h.test/a"})",
                  "true", "2.0.1", "https://h.test/a"},
        ParseCase{"Spaces", "{ \"hasUpdate\" : false ,\n \"url\" : null }", "false", std::nullopt,
                  "null"},
        // The address holds the word "version": it is no version value.
        ParseCase{"KeysMatchExactly",
                  R"({"url":"https://h.test/version/2","version":"2","hasUpdateX":"y"})",
                  std::nullopt, "2", "https://h.test/version/2"},
        ParseCase{"LaterOverrides", R"({"version":"1","version":"2"})", std::nullopt, "2",
                  std::nullopt},
        ParseCase{"NoColonIgnored", R"({version,"url":"https://h.test"})", std::nullopt,
                  std::nullopt, "https://h.test"},
        ParseCase{"Overlong", std::string(kMaxUpdateApiAnswerBytes, ' ') + R"({"version":"2"})",
                  std::nullopt, std::nullopt, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

CFileData FileWithDownload(bool needed, std::vector<std::string> locations) {
  CFileData file;
  file.update_needed = needed;
  file.actions.push_back(std::make_unique<CFileActionCopy>());
  auto first = std::make_unique<CFileActionDownload>();
  first->locations = std::move(locations);
  file.actions.push_back(std::move(first));
  auto second = std::make_unique<CFileActionDownload>();
  second->locations = {"https://second.test/f"};
  file.actions.push_back(std::move(second));
  return file;
}

const std::vector<std::string>& Locations(const CFileData& file, std::size_t action) {
  return static_cast<const CFileActionDownload&>(*file.actions[action]).locations;
}

TEST(ApplyUpdateApiAnswerTest, HasUpdateTrueSetsVersionAndFirstLocationOfNeededFiles) {
  CUpdateFileData data;
  data.version = "1.0";
  data.files.push_back(FileWithDownload(true, {"https://a.test/f", "https://b.test/f"}));
  data.files.push_back(FileWithDownload(false, {"https://a.test/g"}));
  data.files.push_back(FileWithDownload(true, {}));
  ApplyUpdateApiAnswer({"TRUE", "2.0", "https://new.test/f"}, data);
  EXPECT_EQ(data.version, "2.0");
  EXPECT_EQ(Locations(data.files[0], 1),
            (std::vector<std::string>{"https://new.test/f", "https://b.test/f"}));
  EXPECT_EQ(Locations(data.files[0], 2), std::vector<std::string>{"https://second.test/f"});
  EXPECT_EQ(Locations(data.files[1], 1), std::vector<std::string>{"https://a.test/g"});
  EXPECT_TRUE(Locations(data.files[2], 1).empty());
}

TEST(ApplyUpdateApiAnswerTest, OnlyWebAddressesReplaceLocations) {
  for (const char* url : {"ftp://x.test/http", "file:///tmp/http", "xhttp://a"}) {
    CUpdateFileData data;
    data.files.push_back(FileWithDownload(true, {"https://a.test/f"}));
    ApplyUpdateApiAnswer({"true", "2.0", url}, data);
    EXPECT_EQ(data.version, "2.0");
    EXPECT_EQ(Locations(data.files[0], 1), std::vector<std::string>{"https://a.test/f"}) << url;
  }
}

TEST(ApplyUpdateApiAnswerTest, NoUpdateAndUnknownWords) {
  struct Case {
    UpdateApiAnswer answer;
    std::string version_after;
  };
  const Case cases[] = {
      {{"False", "9.0", "https://h.test"}, "1.0.0"}, {{"true", "9.0", "NULL"}, "1.0.0"},
      {{std::nullopt, "9.0", "null"}, "1.0.0"},      {{"maybe", "9.0", "https://h.test"}, "3.0"},
      {{std::nullopt, "9.0", std::nullopt}, "3.0"},  {{"true", std::nullopt, std::nullopt}, ""},
  };
  for (const Case& c : cases) {
    CUpdateFileData data;
    data.version = "3.0";
    ApplyUpdateApiAnswer(c.answer, data);
    EXPECT_EQ(data.version, c.version_after);
  }
}

}  // namespace
