#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

unsigned ModeOf(const std::string& path) {
  return static_cast<unsigned>(fs::status(path).permissions()) & 07777;
}

void SetMode(const std::string& path, unsigned mode) {
  fs::permissions(path, static_cast<fs::perms>(mode), fs::perm_options::replace);
}

}  // namespace

struct PermissionCase {
  const char* name;
  platform::CopyPermissions permissions;
  bool destination_exists;
  unsigned expected;
};

void PrintTo(const PermissionCase& c, std::ostream* out) { *out << c.name; }

class ReplaceFileWithCopyPermissions : public ::testing::TestWithParam<PermissionCase> {};

TEST_P(ReplaceFileWithCopyPermissions, CopiesBytesWithTheChosenMode) {
  const PermissionCase& c = GetParam();
  TempFolder dir;
  std::string source = dir.Write("new", std::string(200000, 'n'));  // more than one buffer
  SetMode(source, 04644);                                           // set-id bits are dropped
  std::string destination = dir / "old";
  if (c.destination_exists) {
    dir.Write("old", "old");
    SetMode(destination, 0751);
  }
  ASSERT_TRUE(platform::ReplaceFileWithCopy(source, destination, c.permissions));
  EXPECT_EQ(dir.Read("old"), std::string(200000, 'n'));
  EXPECT_EQ(ModeOf(destination), c.expected);
  EXPECT_EQ(platform::ListFolder(dir.path())->size(), 2u);  // no temporary file left
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceFileWithCopyPermissions,
    ::testing::Values(
        PermissionCase{"FromSource", platform::CopyPermissions::kFromSource, true, 0644},
        PermissionCase{"KeepDestination", platform::CopyPermissions::kKeepDestination, true, 0751},
        PermissionCase{"KeepWithoutDestination", platform::CopyPermissions::kKeepDestination, false,
                       0644}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceFileWithCopy, LinkAtDestinationIsReplacedNeverWrittenThrough) {
  TempFolder dir, outside;
  std::string victim = outside.Write("victim", "keep");
  fs::create_symlink(victim, dir / "link");
  std::string source = dir.Write("new", "mine");
  ASSERT_TRUE(platform::ReplaceFileWithCopy(source, dir / "link",
                                            platform::CopyPermissions::kKeepDestination));
  EXPECT_FALSE(platform::IsSymbolicLink(dir / "link"));
  EXPECT_EQ(dir.Read("link"), "mine");
  EXPECT_EQ(outside.Read("victim"), "keep");
}

TEST(ReplaceFileWithCopy, RefusalsLeaveTheDestinationAlone) {
  TempFolder dir;
  std::string destination = dir.Write("old", "old");
  std::string real = dir.Write("real", "new");
  fs::create_symlink(real, dir / "source-link");
  fs::create_directory(dir / "source-folder");
  fs::create_directory(dir / "folder-in-the-way");
  struct Refusal {
    std::string source;
    std::string destination;
  };
  const Refusal refusals[] = {
      {dir / "missing", destination},        // no source
      {dir / "source-link", destination},    // the source is never read through a link
      {dir / "source-folder", destination},  // not a regular file
      {"/proc/self/mem", destination},       // fails while it is read
      {real, dir / "folder-in-the-way"},     // a folder is never replaced
      {real, dir / "no/such/folder/file"},   // no folder for the copy
      {real, ""},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.source + " -> " + r.destination);
    platform::Status status = platform::ReplaceFileWithCopy(r.source, r.destination,
                                                            platform::CopyPermissions::kFromSource);
    EXPECT_FALSE(status);
    EXPECT_FALSE(status.message().empty());
  }
  EXPECT_EQ(dir.Read("old"), "old");
  EXPECT_TRUE(fs::is_directory(dir / "folder-in-the-way"));
  // Only the fixture's own entries remain: every temporary file was removed.
  EXPECT_EQ(platform::ListFolder(dir.path())->size(), 5u);
}
