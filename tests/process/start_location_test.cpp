#include "updater/process/start_location.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/native_path.h"

namespace {

TEST(RunTargetOf, PathsStartInTheirFolderWebLocationsAreOpenedAsTheyAre) {
  struct Case {
    std::string location;
    std::string path;
    std::string working_folder;
    bool web;
  } cases[] = {
      {"/opt/app/tool", Native("/opt/app/tool"), Native("/opt/app"), false},
      {"/tool", Native("/tool"), Native("/"), false},
      {"tool", "tool", "", false},
      {"sub\\tool", Native("sub/tool"), "sub", false},
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
