#include "updater/process/temporary_update_files.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

TEST(TemporaryUpdateFiles, KeepsTheOrderOnceEachAndEmptiesOnTake) {
  CTemporaryUpdateFiles files;
  files.Add("/t/b.zip");
  files.Add("/t/a.zip");
  files.Add("/t/b.zip");
  EXPECT_EQ(files.Paths(), (std::vector<std::string>{"/t/b.zip", "/t/a.zip"}));
  EXPECT_EQ(files.Take(), (std::vector<std::string>{"/t/b.zip", "/t/a.zip"}));
  EXPECT_EQ(files.Size(), 0u);
  EXPECT_TRUE(files.Take().empty());
}

TEST(TemporaryUpdateFiles, TakesAdditionsFromSeveralThreads) {
  CTemporaryUpdateFiles files;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&files, t] {
      for (int i = 0; i < 100; ++i) files.Add("/t/" + std::to_string(t) + "-" + std::to_string(i));
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(files.Take().size(), 400u);
}

TEST(TemporaryUpdateFiles, TheProcessWideListIsResetForTests) {
  CTemporaryUpdateFiles::Instance().Add("/t/x");
  CTemporaryUpdateFiles::ResetInstance();
  EXPECT_EQ(CTemporaryUpdateFiles::Instance().Size(), 0u);
}

}  // namespace
