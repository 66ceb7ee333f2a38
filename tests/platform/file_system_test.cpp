#include "platform/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/system_paths.h"
#include "tests/support/temp_folder.h"

TEST(FileSystem, RemoveTreeNeverFollowsLinks) {
  TempFolder outside, tree;
  outside.Write("keep.txt", "precious");
  tree.Write("a/b/c.txt", "x");
  ASSERT_EQ(symlink(outside.path().c_str(), (tree / "a/link").c_str()), 0);
  ASSERT_TRUE(platform::RemoveTree(tree / "a"));
  EXPECT_FALSE(platform::PathExists(tree / "a"));
  EXPECT_EQ(outside.Read("keep.txt"), "precious");
  EXPECT_TRUE(platform::RemoveTree(tree / "missing"));
}

TEST(FileSystem, WriteFileAtomicReplacesAndKeepsOrForcesTheMode) {
  TempFolder dir;
  std::string path = dir / "f.ini";
  ASSERT_TRUE(platform::WriteFileAtomic(path, "one", platform::FilePermissions::kExecutable));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  ASSERT_TRUE(platform::WriteFileAtomic(path, "two"));
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);
  EXPECT_EQ(dir.Read("f.ini"), "two");
  ASSERT_TRUE(platform::WriteFileAtomic(path, "three", platform::FilePermissions::kPrivate,
                                        platform::ExistingPermissions::kReplace));
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  auto names = platform::ListFolder(dir.path());
  ASSERT_TRUE(names);
  EXPECT_EQ(names->size(), 1u);  // no temporary file left behind
  EXPECT_FALSE(platform::WriteFileAtomic(dir / "no/such/folder/f", "x"));
}

// Whether the file is flushed to the disk or not, the write replaces the path
// whole (a link at the path is replaced, never followed), with the same mode
// rules, and leaves no temporary file.
TEST(FileSystem, WriteFileAtomicForThisRunWritesTheSameWay) {
  for (platform::Durability durability :
       {platform::Durability::kDurable, platform::Durability::kThisRun}) {
    SCOPED_TRACE(static_cast<int>(durability));
    TempFolder dir, outside;
    outside.Write("target", "precious");
    ASSERT_EQ(symlink((outside / "target").c_str(), (dir / "copy.xml").c_str()), 0);
    ASSERT_TRUE(platform::WriteFileAtomic(dir / "copy.xml", "new",
                                          platform::FilePermissions::kPrivate,
                                          platform::ExistingPermissions::kReplace, durability));
    EXPECT_FALSE(platform::IsSymbolicLink(dir / "copy.xml"));
    EXPECT_EQ(dir.Read("copy.xml"), "new");
    EXPECT_EQ(outside.Read("target"), "precious");
    struct stat st {};
    ASSERT_EQ(stat((dir / "copy.xml").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(platform::ListFolder(dir.path()).value_or(std::vector<std::string>{}).size(), 1u);
    EXPECT_FALSE(platform::WriteFileAtomic(dir / "no/such/folder/f", "x",
                                           platform::FilePermissions::kNormal,
                                           platform::ExistingPermissions::kKeep, durability));
  }
}

TEST(FileSystem, ReadFileIsBounded) {
  TempFolder dir;
  dir.Write("f", "12345");
  EXPECT_EQ(platform::ReadFile(dir / "f", 5).value_or("?"), "12345");
  EXPECT_FALSE(platform::ReadFile(dir / "f", 4));
  EXPECT_FALSE(platform::ReadFile(dir / "missing", 4));
  EXPECT_FALSE(platform::ReadFile(dir.path(), 4));
}

TEST(FileSystem, CreateFoldersMakesParents) {
  TempFolder dir;
  ASSERT_TRUE(platform::CreateFolders(dir / "x/y/z"));
  EXPECT_TRUE(platform::FolderExists(dir / "x/y/z"));
  EXPECT_TRUE(platform::CreateFolders(dir / "x/y/z"));
  dir.Write("file", "");
  EXPECT_FALSE(platform::CreateFolders(dir / "file/sub"));
}

TEST(SystemPaths, FullPathResolvesLexically) {
  std::string cwd = platform::CurrentFolder();
  struct Case {
    std::string in, out;
  } cases[] = {
      {"", ""},        {"/a/b/../c", "/a/c"}, {"/a/./b/", "/a/b/"},
      {"/../..", "/"}, {"/a//b", "/a/b"},     {"x.ini", cwd + "/x.ini"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::FullPath(c.in), c.out) << c.in;
}

TEST(SystemPaths, PrivateTempFolderIsRefusedWhenUnsafe) {
  TempFolder base;
  setenv("TMPDIR", base.path().c_str(), 1);
  std::string error;
  auto folder = platform::PrivateTempFolder(&error);
  ASSERT_TRUE(folder) << error;
  struct stat st {};
  ASSERT_EQ(lstat(folder->c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  chmod(folder->c_str(), 0755);
  EXPECT_FALSE(platform::PrivateTempFolder(&error));
  rmdir(folder->c_str());
  TempFolder elsewhere;
  ASSERT_EQ(symlink(elsewhere.path().c_str(), folder->c_str()), 0);
  EXPECT_FALSE(platform::PrivateTempFolder(&error));
  EXPECT_NE(error.find("symbolic link"), std::string::npos);
  unsetenv("TMPDIR");
}

TEST(SystemPaths, SpecialFoldersFollowXdg) {
  setenv("HOME", "/home/tester", 1);
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  setenv("XDG_DESKTOP_DIR", "/home/tester/Schreibtisch", 1);
  auto f = platform::GetSpecialFolders();
  EXPECT_EQ(f.app_data, "/cfg");
  EXPECT_EQ(f.start_menu, "/home/tester/.local/share/applications");
  EXPECT_EQ(f.desktop, "/home/tester/Schreibtisch");
  EXPECT_EQ(f.user_profile, "/home/tester");
  EXPECT_EQ(f.program_files, "/opt");
}

TEST(FileSystem, EachPermissionIntentHasItsModeBits) {
  struct Case {
    platform::FilePermissions permissions;
    unsigned bits;
  };
  const Case cases[] = {
      {platform::FilePermissions::kNormal, 0644},
      {platform::FilePermissions::kPrivate, 0600},
      {platform::FilePermissions::kExecutable, 0755},
      {platform::FilePermissions::kOwnerExecutable, 0744},
      {platform::FilePermissions::kReadOnly, 0444},
      {platform::FilePermissions::kReadOnlyExecutable, 0555},
      {platform::FilePermissions::kReadOnlyOwnerExecutable, 0544},
  };
  TempFolder dir;
  const std::string path = dir / "f";
  for (const Case& c : cases) {
    ASSERT_TRUE(platform::WriteFileAtomic(path, "x", c.permissions,
                                          platform::ExistingPermissions::kReplace));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.bits) << std::oct << c.bits;
  }
}
