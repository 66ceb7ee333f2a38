#include "platform/file_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/file_system.h"
#include "tests/support/permission_bits.h"
#include "tests/support/temp_folder.h"

using platform::ExistingPermissions;
using platform::FilePermissions;
using platform::WriteStart;

TEST(FileWriter, CreatesEmptiesAndAppends) {
  TempFolder dir;
  const std::string path = dir / "ünïcode file.bin";
  platform::FileWriter writer;
  ASSERT_TRUE(writer.Open(path, WriteStart::kEmpty));
  ASSERT_TRUE(writer.Write("one "));
  EXPECT_EQ(dir.Read("ünïcode file.bin"), "one ");  // each piece is in the file at once
  ASSERT_TRUE(writer.Write("two"));
  ASSERT_TRUE(writer.Close());
  EXPECT_FALSE(writer.is_open());
  EXPECT_EQ(dir.Read("ünïcode file.bin"), "one two");

  ASSERT_TRUE(writer.Open(path, WriteStart::kAtEnd));
  ASSERT_TRUE(writer.Write(std::string("\0three", 6)));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(dir.Read("ünïcode file.bin"), std::string("one two\0three", 13));

  ASSERT_TRUE(writer.Open(path, WriteStart::kEmpty));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(platform::FileSize(path), 0u);

  ASSERT_TRUE(writer.Open(dir / "new.log", WriteStart::kAtEnd));
  ASSERT_TRUE(writer.Write("first"));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(dir.Read("new.log"), "first");
}

TEST(FileWriter, NewFilesGetThePermissionsAndOldOnesKeepTheirsUnlessReplaced) {
  TempFolder dir;
  const std::string path = dir / "f.txt";
  platform::FileWriter writer;
  ASSERT_TRUE(writer.Open(path, WriteStart::kEmpty, FilePermissions::kPrivate));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(PermissionBits(path), 0600u);
  ASSERT_TRUE(writer.Open(path, WriteStart::kAtEnd, FilePermissions::kExecutable));
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(PermissionBits(path), 0600u);
  ASSERT_TRUE(SetPermissionBits(path, 0666));
  ASSERT_TRUE(writer.Open(path, WriteStart::kEmpty, FilePermissions::kPrivate,
                          ExistingPermissions::kReplace));
  EXPECT_EQ(PermissionBits(path), 0600u);  // before anything is written
}

TEST(FileWriter, FailuresAreValues) {
  TempFolder dir;
  platform::FileWriter writer;
  EXPECT_FALSE(writer.Write("x"));
  EXPECT_TRUE(writer.Close());  // nothing open: nothing to fail
  EXPECT_FALSE(writer.Open(dir / "missing/f.txt", WriteStart::kEmpty));
  EXPECT_FALSE(writer.is_open());
  ASSERT_TRUE(platform::CreateFolders(dir / "folder"));
  EXPECT_FALSE(writer.Open(dir / "folder", WriteStart::kAtEnd));
  EXPECT_FALSE(writer.Write("x"));
}
