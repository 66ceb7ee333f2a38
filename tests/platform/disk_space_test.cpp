#include "platform/disk_space.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "tests/support/temp_folder.h"

namespace {

TEST(DiskSpaceTest, ReportsTheVolumeOfAFolderOrFile) {
  TempFolder folder;
  const std::string file = folder.Write("f.bin", "abc");
  std::error_code error;
  const std::uint64_t expected = std::filesystem::space(folder.path(), error).available;
  ASSERT_FALSE(error);
  for (const std::string& path : {folder.path(), file}) {
    auto free = platform::FreeDiskSpace(path);
    ASSERT_TRUE(free) << path;
    // Other programs write meanwhile: equal within 64 MiB.
    const std::uint64_t difference = *free > expected ? *free - expected : expected - *free;
    EXPECT_LE(difference, 64u << 20) << path;
  }
}

TEST(DiskSpaceTest, UnknownPathsHaveNoAnswer) {
  TempFolder folder;
  for (const std::string& path : {std::string(), folder / "missing", folder / "missing/below"})
    EXPECT_FALSE(platform::FreeDiskSpace(path)) << path;
}

}  // namespace
