#include <gtest/gtest.h>

#include <cstdio>
#include <latch>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_folder.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"

namespace {

class FixedClock : public platform::IClock {
 public:
  std::int64_t MonotonicMs() const override { return 0; }
  platform::LocalTime Now() const override { return {2024, 1, 2, 23, 59, 58, 999}; }
};

TEST(UpdaterLogConcurrency, LinesFromManyThreadsArriveWholeAndExactlyOnce) {
  constexpr int kThreads = 8;
  constexpr int kLines = 2000;
  TempFolder folder;
  FixedClock clock;
  CUpdaterLog::ResetInstance();
  CUpdaterLog& log = CUpdaterLog::Instance();
  log.SetClock(&clock);
  log.Open(folder / "log.txt", true);

  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&log, &start, t] {
      start.arrive_and_wait();
      for (int i = 0; i < kLines; ++i) {
        // Long enough that a torn line would show.
        log.WriteLine("thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                      std::string(40, static_cast<char>('a' + t)));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  log.Close();
  CUpdaterLog::ResetInstance();

  std::string bytes = folder.Read("log.txt");
  ASSERT_GE(bytes.size(), 2u);
  ASSERT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  std::string text = DecodeTextFile(bytes);

  std::vector<std::vector<int>> seen(kThreads, std::vector<int>(kLines, 0));
  // Per thread, lines must keep the order in which that thread wrote them.
  std::vector<int> last(kThreads, -1);
  std::size_t pos = 0;
  int count = 0;
  while (pos < text.size()) {
    std::size_t end = text.find("\r\n", pos);
    ASSERT_NE(end, std::string::npos) << "unterminated line at " << pos;
    std::string line = text.substr(pos, end - pos);
    pos = end + 2;
    int t = -1, i = -1;
    char rest[64] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "23:59:58:999 => thread %d line %d %63s", &t, &i, rest), 3)
        << line;
    ASSERT_TRUE(t >= 0 && t < kThreads && i >= 0 && i < kLines) << line;
    ASSERT_EQ(std::string(rest), std::string(40, static_cast<char>('a' + t))) << line;
    ASSERT_EQ(line, "23:59:58:999 => thread " + std::to_string(t) + " line " + std::to_string(i) +
                        " " + rest);
    ++seen[t][i];
    EXPECT_GT(i, last[t]);
    last[t] = i;
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kLines; ++i) ASSERT_EQ(seen[t][i], 1) << t << " " << i;
}

}  // namespace
