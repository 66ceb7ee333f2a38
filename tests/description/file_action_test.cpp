#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "updater/description/update_file_data.h"

namespace {

// Every kind of file action is named as the update file writes it.
TEST(FileActionTest, TypeNames) {
  const std::vector<std::pair<FileAction, std::string>> cases = {
      {CFileActionDownload{}, "download"}, {CFileActionCopy{}, "copy"},
      {CFileActionDelete{}, "delete"},     {CFileActionRun{}, "run"},
      {CFileActionUnzip{}, "unzip"},       {CFileActionSetFileAttr{}, "setfileattr"},
      {CFileActionRegister{}, "register"},
  };
  ASSERT_EQ(cases.size(), std::variant_size_v<FileAction>);
  for (const auto& [action, name] : cases) EXPECT_EQ(FileActionTypeName(action), name);
}

}  // namespace
