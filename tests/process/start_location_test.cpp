#include "updater/process/start_location.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RunTargetOf, PathsStartInTheirFolderWebLocationsAreOpenedAsTheyAre) {
  struct Case {
    std::string location;
    std::string path;
    std::string working_folder;
    bool web;
  } cases[] = {
      {"/opt/app/tool", "/opt/app/tool", "/opt/app", false},
      {"/tool", "/tool", "/", false},
      {"tool", "tool", "", false},
      {"sub\\tool", "sub/tool", "sub", false},
      {"https://example.com/a\\b", "https://example.com/a\\b", "", true},
      {"www.example.com/page", "www.example.com/page", "", true},
  };
  for (const auto& c : cases) {
    const RunTarget target = RunTargetOf(c.location);
    EXPECT_EQ(target.location, c.path) << c.location;
    EXPECT_EQ(target.working_folder, c.working_folder) << c.location;
    EXPECT_EQ(target.web, c.web) << c.location;
  }
}

}  // namespace
