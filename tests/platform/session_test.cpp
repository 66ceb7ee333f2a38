#include "platform/session.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using Answers = std::map<std::string, std::string>;  // property -> answer

struct SessionCase {
  const char* name;
  std::map<std::string, std::string> environment;
  Answers answers;  // login manager's answers; a missing property is unknown
  bool expected;
};

class SessionDecision : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionDecision, DecidesFromDisplayAndLoginManager) {
  const SessionCase& c = GetParam();
  std::vector<std::string> asked_ids;
  bool available = platform::IsInteractiveSessionAvailable(
      [&](const std::string& name) -> std::optional<std::string> {
        auto found = c.environment.find(name);
        if (found == c.environment.end()) return std::nullopt;
        return found->second;
      },
      [&](const std::string& id, const std::string& property) -> std::optional<std::string> {
        asked_ids.push_back(id);
        auto found = c.answers.find(property);
        if (found == c.answers.end()) return std::nullopt;
        return found->second;
      });
  EXPECT_EQ(available, c.expected);
  for (const std::string& id : asked_ids) EXPECT_TRUE(platform::IsValidSessionId(id)) << id;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionDecision,
    ::testing::Values(
        SessionCase{"X11Display", {{"DISPLAY", ":0"}}, {}, true},
        SessionCase{"WaylandDisplay", {{"WAYLAND_DISPLAY", "wayland-0"}}, {}, true},
        SessionCase{"EmptyDisplayVariables", {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, {}, false},
        SessionCase{"NothingAtAll", {}, {}, false},
        SessionCase{"ConsoleSessionWithoutDisplay",
                    {{"XDG_SESSION_ID", "3"}},
                    {{"Type", "tty"}, {"Active", "yes"}, {"LockedHint", "no"}},
                    false},
        SessionCase{"ActiveGraphicalSessionWithoutDisplayVariable",
                    {{"XDG_SESSION_ID", "3"}},
                    {{"Type", "wayland"}, {"Active", "yes"}, {"LockedHint", "no"}},
                    true},
        SessionCase{"InactiveGraphicalSession",
                    {{"XDG_SESSION_ID", "c2"}},
                    {{"Type", "x11"}, {"Active", "no"}, {"LockedHint", "no"}},
                    false},
        SessionCase{"UnknownSessionWithoutDisplay", {{"XDG_SESSION_ID", "3"}}, {}, false},
        SessionCase{"LockedSession",
                    {{"DISPLAY", ":0"}, {"XDG_SESSION_ID", "3"}},
                    {{"LockedHint", "yes"}},
                    false},
        SessionCase{"UnlockedSession",
                    {{"DISPLAY", ":0"}, {"XDG_SESSION_ID", "3"}},
                    {{"LockedHint", "no"}},
                    true},
        SessionCase{
            "LockUnknownCountsAsUnlocked", {{"DISPLAY", ":0"}, {"XDG_SESSION_ID", "3"}}, {}, true},
        SessionCase{"MalformedSessionIdIsNotAsked",
                    {{"DISPLAY", ":0"}, {"XDG_SESSION_ID", "-3 --help"}},
                    {{"LockedHint", "yes"}},
                    true}),
    [](const ::testing::TestParamInfo<SessionCase>& info) { return info.param.name; });

TEST(SessionId, AcceptsOnlyPlainIds) {
  EXPECT_TRUE(platform::IsValidSessionId("3"));
  EXPECT_TRUE(platform::IsValidSessionId("c12"));
  EXPECT_TRUE(platform::IsValidSessionId("session_1-a"));
  EXPECT_TRUE(platform::IsValidSessionId(std::string(64, 'a')));
  for (const std::string& bad :
       {std::string(), std::string("-p"), std::string("_x"), std::string("3 4"),
        std::string("../3"), std::string("3;id"), std::string(65, 'a')}) {
    EXPECT_FALSE(platform::IsValidSessionId(bad)) << bad;
  }
}

TEST(SessionQuery, RefusesMalformedInputWithoutRunningAnything) {
  EXPECT_EQ(platform::QueryLoginSessionProperty("--help", "LockedHint"), std::nullopt);
  EXPECT_EQ(platform::QueryLoginSessionProperty("3", "Locked Hint"), std::nullopt);
  EXPECT_EQ(platform::QueryLoginSessionProperty("3", ""), std::nullopt);
}

}  // namespace
