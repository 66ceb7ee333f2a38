#include "platform/file_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

TEST(FileLock, OneHolderAtATime) {
  TempFolder dir;
  const std::string path = dir / "x.lock";
  platform::FileLock first, second;
  ASSERT_TRUE(first.Acquire(path, 0));
  EXPECT_TRUE(first.held());
  platform::Status busy = second.Acquire(path, 30);
  EXPECT_FALSE(busy);
  EXPECT_FALSE(second.held());
  first.Release();
  EXPECT_FALSE(first.held());
  EXPECT_TRUE(second.Acquire(path, 0));
  EXPECT_TRUE(platform::FileExists(path));  // the lock file stays
}

TEST(FileLock, EndOfLifeLetsGo) {
  TempFolder dir;
  const std::string path = dir / "x.lock";
  {
    platform::FileLock scoped;
    ASSERT_TRUE(scoped.Acquire(path, 0));
  }
  platform::FileLock next;
  EXPECT_TRUE(next.Acquire(path, 0));
}

TEST(FileLock, RefusesLinksFoldersAndMissingFolders) {
  TempFolder dir, outside;
  std::filesystem::create_symlink(outside / "target.lock", dir / "link.lock");
  std::filesystem::create_directory(dir / "folder.lock");
  for (const std::string& path : {dir / "link.lock", dir / "folder.lock", dir / "no/x.lock"}) {
    SCOPED_TRACE(path);
    platform::FileLock lock;
    EXPECT_FALSE(lock.Acquire(path, 0));
    EXPECT_FALSE(lock.held());
  }
  EXPECT_FALSE(platform::PathExists(outside / "target.lock"));
}
