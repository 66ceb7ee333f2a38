#include <gtest/gtest.h>

#include "platform/file_system.h"
#include "platform/path.h"

namespace {

TEST(IsAbsolutePath, SeparatorFirstEverywhereDriveOnWindowsOnly) {
  EXPECT_TRUE(platform::IsAbsolutePath("/usr/bin"));
  EXPECT_TRUE(platform::IsAbsolutePath("\\Windows"));
  EXPECT_FALSE(platform::IsAbsolutePath(""));
  EXPECT_FALSE(platform::IsAbsolutePath("name"));
  EXPECT_FALSE(platform::IsAbsolutePath("C:"));
  EXPECT_FALSE(platform::IsAbsolutePath("C:name"));
  const bool windows = platform::PathSeparator() == '\\';
  EXPECT_EQ(platform::IsAbsolutePath("C:\\Program Files"), windows);
  EXPECT_EQ(platform::IsAbsolutePath("d:/data"), windows);
}

}  // namespace
