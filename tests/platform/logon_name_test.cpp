#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "platform/system_paths.h"

TEST(LogonUserName, IsTheAccountNameOfTheRealUser) {
  const passwd* entry = ::getpwuid(::getuid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(platform::LogonUserName(), entry->pw_name);
  EXPECT_FALSE(platform::LogonUserName().empty());
}
