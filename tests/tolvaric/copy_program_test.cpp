#include "tolvaric/copy_program.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Records what the run asked of the world, in order.
struct World {
  std::vector<std::string> events;
  platform::Status replace_result = platform::Status::Ok();
  std::string caption, text, detail;

  CCopyProgram::Deps Deps() {
    return {
        .wait =
            [this](std::chrono::milliseconds pause) {
              events.push_back("wait " + std::to_string(pause.count()));
            },
        .replace =
            [this](const std::string& source, const std::string& destination) {
              events.push_back("replace " + source + " -> " + destination);
              return replace_result;
            },
        .report_failure =
            [this](const std::string& c, const std::string& t, const std::string& d) {
              events.push_back("report");
              caption = c;
              text = t;
              detail = d;
            },
    };
  }
};

}  // namespace

struct RunCase {
  const char* name;
  std::optional<std::string> command_line;
  bool replace_fails;
  std::vector<std::string> events;
  int exit_code;
};

void PrintTo(const RunCase& c, std::ostream* out) { *out << c.name; }

class CopyProgramRun : public ::testing::TestWithParam<RunCase> {};

TEST_P(CopyProgramRun, WaitsThenReplacesOrReports) {
  const RunCase& c = GetParam();
  World world;
  if (c.replace_fails) world.replace_result = platform::Status::Fail("cannot replace '/b'");
  CCopyProgram program(world.Deps());
  EXPECT_EQ(program.Run(c.command_line), c.exit_code);
  EXPECT_EQ(world.events, c.events);
  if (c.exit_code != 0) {
    EXPECT_EQ(world.caption, "Tolvaric");
    EXPECT_EQ(world.text, "An error occurred when updating Updater!");
    EXPECT_FALSE(world.detail.empty());
  }
  if (c.replace_fails) {
    EXPECT_EQ(world.detail, "cannot replace '/b'");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CopyProgramRun,
    ::testing::Values(
        RunCase{"Replaced", "\"/a\" \"/b c\"", false, {"wait 3000", "replace /a -> /b c"}, 0},
        RunCase{
            "ReplaceFails", "\"/a\" \"/b\"", true, {"wait 3000", "replace /a -> /b", "report"}, 1},
        RunCase{"MissingDestinationReportedWithoutWait", "\"/a\"", false, {"report"}, 1},
        RunCase{"NoCommandLineText", std::nullopt, false, {"report"}, 1}),
    [](const auto& info) { return std::string(info.param.name); });
