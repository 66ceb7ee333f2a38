#include "tolvaric/program_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/file_traits.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

unsigned ModeOf(const std::string& path) {
  return static_cast<unsigned>(fs::status(path).permissions()) & 0777;
}

}  // namespace

TEST(ReplaceProgramFile, NewProgramTakesThePlaceAndStaysExecutable) {
  TempFolder dir;
  std::string target = dir.Write("app/Velmora Updater", "old program");
  fs::permissions(target, static_cast<fs::perms>(0755), fs::perm_options::replace);
  std::string source = dir.Write("tmp/Velmora Updater", "new program");  // written as 0644
  ASSERT_TRUE(ReplaceProgramFile(source, target));
  EXPECT_EQ(dir.Read("app/Velmora Updater"), "new program");
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(ModeOf(target), 0755u);
  }
  EXPECT_EQ(dir.Read("tmp/Velmora Updater"), "new program");  // the source stays
  EXPECT_EQ(platform::ListFolder(dir / "app")->size(), 1u);
}

TEST(ReplaceProgramFile, RefusedCasesLeaveEverythingAsItWas) {
  TempFolder dir, outside;
  std::string target = dir.Write("app/Velmora Updater", "old program");
  std::string source = dir.Write("tmp/new", "new program");
  std::string elsewhere = outside.Write("victim", "not a program of ours");
  fs::create_directory(dir / "app/folder");
  struct Refusal {
    const char* name;
    std::string source;
    std::string target;
  };
  std::vector<Refusal> refusals = {
      {"SourceMissing", dir / "tmp/missing", target},
      {"SourceIsAFolder", dir / "tmp", target},
      {"SourceFailsWhileRead", "/proc/self/mem", target},
      {"TargetMissing", source, dir / "app/missing"},
      {"TargetIsAFolder", source, dir / "app/folder"},
  };
  const bool links = test_support::SymbolicLinksAvailable();
  if (links) {
    fs::create_symlink(elsewhere, dir / "app/linked");
    fs::create_symlink(source, dir / "tmp/source-link");
    refusals.push_back({"SourceIsALink", dir / "tmp/source-link", target});
    refusals.push_back({"TargetIsALink", source, dir / "app/linked"});
  }
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    EXPECT_FALSE(ReplaceProgramFile(r.source, r.target));
  }
  EXPECT_EQ(dir.Read("app/Velmora Updater"), "old program");
  if (links) {
    EXPECT_TRUE(platform::IsSymbolicLink(dir / "app/linked"));
  }
  EXPECT_EQ(outside.Read("victim"), "not a program of ours");
  EXPECT_FALSE(platform::PathExists(dir / "app/missing"));
  // No temporary file left: the program, the folder and the link where there is one.
  EXPECT_EQ(platform::ListFolder(dir / "app")->size(), links ? 3u : 2u);
}
