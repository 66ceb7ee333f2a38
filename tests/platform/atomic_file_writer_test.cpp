#include "platform/atomic_file_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

TEST(AtomicFileWriter, CommitReplacesFileWithModeAndTime) {
  TempFolder dir;
  std::string path = dir.Write("f.bin", "old");
  platform::AtomicFileWriter writer;
  ASSERT_TRUE(writer.Open(path));
  ASSERT_TRUE(writer.Write("new "));
  ASSERT_TRUE(writer.Write("content"));
  EXPECT_EQ(dir.Read("f.bin"), "old");  // nothing visible before the commit
  ASSERT_TRUE(writer.Commit(platform::FilePermissions::kExecutable, 1600000000));
  EXPECT_FALSE(writer.is_open());
  EXPECT_EQ(dir.Read("f.bin"), "new content");
  EXPECT_EQ(static_cast<unsigned>(fs::status(path).permissions()) & 07777, 0755u);
  EXPECT_EQ(platform::FileModificationTime(path), 1600000000);
  EXPECT_EQ(platform::ListFolder(dir.path())->size(), 1u);
}

TEST(AtomicFileWriter, UncommittedFileLeavesNothing) {
  TempFolder dir;
  {
    platform::AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(dir / "f.bin"));
    ASSERT_TRUE(writer.Write("part"));
  }
  EXPECT_TRUE(platform::ListFolder(dir.path())->empty());
}

TEST(AtomicFileWriter, LinkIsReplacedAndFolderRefused) {
  TempFolder dir, outside;
  std::string victim = outside.Write("victim", "keep");
  fs::create_symlink(victim, dir / "link");
  platform::AtomicFileWriter writer;
  ASSERT_TRUE(writer.Open(dir / "link"));
  ASSERT_TRUE(writer.Write("mine"));
  ASSERT_TRUE(writer.Commit(platform::FilePermissions::kNormal, std::nullopt));
  EXPECT_FALSE(platform::IsSymbolicLink(dir / "link"));
  EXPECT_EQ(dir.Read("link"), "mine");
  EXPECT_EQ(outside.Read("victim"), "keep");

  ASSERT_TRUE(platform::CreateFolders(dir / "folder"));
  ASSERT_TRUE(writer.Open(dir / "folder"));
  EXPECT_FALSE(writer.Commit(platform::FilePermissions::kNormal, std::nullopt));
  EXPECT_EQ(platform::ListFolder(dir.path())->size(), 2u);
  EXPECT_FALSE(writer.Open(dir / "missing/f"));
  EXPECT_FALSE(writer.Write("x"));
}

TEST(AtomicFileWriter, ACopyKeepsTheReplacedModeElseTheSourcesAndStaysWritable) {
  struct Case {
    const char* name;
    unsigned source_bits;
    int destination_bits;  // -1: no file there
    unsigned expected;
  };
  const Case cases[] = {
      {"NewFileTakesTheSourceMode", 0640, -1, 0640},
      {"ReadOnlySourceBecomesWritable", 0555, -1, 0755},
      {"ReplacedFileKeepsItsMode", 0644, 0750, 0750},
      {"ReadOnlyReplacedFileBecomesWritable", 0644, 0444, 0644},
  };
  for (const Case& c : cases) {
    TempFolder dir;
    const std::string source = dir.Write("source", "new");
    fs::permissions(source, static_cast<fs::perms>(c.source_bits), fs::perm_options::replace);
    const std::string destination = dir / "destination";
    if (c.destination_bits >= 0) {
      dir.Write("destination", "old");
      fs::permissions(destination, static_cast<fs::perms>(c.destination_bits),
                      fs::perm_options::replace);
    }
    platform::AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(destination)) << c.name;
    ASSERT_TRUE(writer.Write("new")) << c.name;
    ASSERT_TRUE(writer.CommitAsCopyOf(source, std::nullopt)) << c.name;
    EXPECT_EQ(dir.Read("destination"), "new") << c.name;
    EXPECT_EQ(static_cast<unsigned>(fs::status(destination).permissions()) & 07777, c.expected)
        << c.name;
  }
}
