#include "updater/core/updater_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/file_traits.h"
#include "tests/support/temp_folder.h"

namespace {

class FixedClock : public platform::IClock {
 public:
  std::int64_t MonotonicMs() const override { return 0; }
  platform::LocalTime Now() const override { return time; }
  platform::LocalTime time;
};

// The UTF-16LE bytes of an ASCII text.
std::string Wide(std::string_view ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

const std::string kBom = "\xFF\xFE";

class UpdaterLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CUpdaterLog::ResetInstance();
    clock_.time.hour = 7;
    clock_.time.minute = 5;
    clock_.time.second = 3;
    clock_.time.millisecond = 9;
    CUpdaterLog::Instance().SetClock(&clock_);
  }
  void TearDown() override { CUpdaterLog::ResetInstance(); }

  CUpdaterLog& log() { return CUpdaterLog::Instance(); }

  TempFolder folder_;
  FixedClock clock_;
};

TEST_F(UpdaterLogTest, WritesUtf16WithBomCrLfAndTimeStamps) {
  std::string path = folder_ / "log.txt";
  log().Open(path, false);
  log().WriteLine("plain");
  log().SetTimestamps(true);
  log().WriteLine("starting task: TASK_DOWNLOAD");
  log().WriteLine("two\nlines");
  log().WriteLine(
      "Gr\xC3\xBC\xC3\x9F"
      "e \xF0\x9F\x98\x80");  // U+00FC U+00DF, U+1F600
  log().Close();

  std::string expected = kBom + Wide("plain\r\n") +
                         Wide("07:05:03:009 => starting task: TASK_DOWNLOAD\r\n") +
                         Wide("07:05:03:009 => two\nlines\r\n") + Wide("07:05:03:009 => Gr") +
                         std::string("\xFC\0\xDF\0", 4) + Wide("e ") +
                         std::string("\x3D\xD8\x00\xDE", 4) + Wide("\r\n");
  EXPECT_EQ(folder_.Read("log.txt"), expected);
}

TEST_F(UpdaterLogTest, HeaderAndFooterAreWrittenWithoutTimeStamps) {
  std::string path = folder_ / "log.txt";
  log().Open(path, true);
  log().WriteHeader("-mode silent -appname \"My App\"");
  log().WriteLine("work");
  log().WriteFooter(3600000);
  log().Close();

  std::string expected = kBom + Wide(
                                    "UPDATER LOG FILE\r\n"
                                    "================\r\n"
                                    "\r\n"
                                    "Commandline: -mode silent -appname \"My App\"\r\n"
                                    "\r\n"
                                    "*****************************************************\r\n"
                                    "\r\n"
                                    "07:05:03:009 => work\r\n"
                                    "\r\n"
                                    "-------------------------------------\r\n"
                                    "Update took 1:00:00:000 (hh:mm:ss:ms)\r\n"
                                    "-------------------------------------\r\n"
                                    "\r\n"
                                    "Close Updater\r\n");
  EXPECT_EQ(folder_.Read("log.txt"), expected);
}

TEST_F(UpdaterLogTest, CommandLineWithFormatDirectivesIsWrittenAsItIs) {
  log().Open(folder_ / "log.txt", false);
  log().WriteHeader("%s %n %d");
  log().Close();
  EXPECT_NE(folder_.Read("log.txt").find(Wide("Commandline: %s %n %d\r\n")), std::string::npos);
}

TEST_F(UpdaterLogTest, LinesBeforeOpenAndAfterCloseAreDropped) {
  log().WriteLine("before");
  log().WriteHeader("before");
  EXPECT_FALSE(log().IsOpen());
  log().Open(folder_ / "log.txt", false);
  EXPECT_TRUE(log().IsOpen());
  log().WriteLine("inside");
  log().Close();
  log().Close();  // a second close is harmless
  log().WriteLine("after");
  log().WriteFooter(5);
  EXPECT_FALSE(log().IsOpen());
  EXPECT_EQ(folder_.Read("log.txt"), kBom + Wide("inside\r\n"));
}

TEST_F(UpdaterLogTest, ReopeningOverwritesTheOlderLog) {
  std::string path = folder_ / "log.txt";
  log().Open(path, false);
  log().WriteLine("first run with a long line");
  log().Close();
  log().Open(path, false);
  log().WriteLine("second");
  log().Close();
  EXPECT_EQ(folder_.Read("log.txt"), kBom + Wide("second\r\n"));
}

TEST_F(UpdaterLogTest, OpeningWhileOpenClosesTheFirstFile) {
  log().Open(folder_ / "a.txt", false);
  log().WriteLine("a");
  log().Open(folder_ / "b.txt", false);
  log().WriteLine("b");
  log().Close();
  EXPECT_EQ(folder_.Read("a.txt"), kBom + Wide("a\r\n"));
  EXPECT_EQ(folder_.Read("b.txt"), kBom + Wide("b\r\n"));
}

TEST_F(UpdaterLogTest, FileIsPrivateToTheOwner) {
  if (!test_support::FilesHaveModeBits()) GTEST_SKIP() << "files carry no mode bits here";
  std::string path = folder_ / "log.txt";
  folder_.Write("log.txt", "older");
  std::filesystem::permissions(path, std::filesystem::perms::all);
  log().Open(path, false);
  log().Close();
  EXPECT_EQ(std::filesystem::status(path).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(UpdaterLogTest, OpenReplacesALinkInsteadOfFollowingIt) {
  if (!test_support::SymbolicLinksAvailable()) GTEST_SKIP() << "no symbolic links here";
  std::string target = folder_.Write("target.txt", "keep");
  std::string path = folder_ / "log.txt";
  std::filesystem::create_symlink(target, path);
  log().Open(path, false);
  log().WriteLine("x");
  log().Close();
  EXPECT_EQ(folder_.Read("target.txt"), "keep");
  EXPECT_FALSE(std::filesystem::is_symlink(path));
  EXPECT_EQ(folder_.Read("log.txt"), kBom + Wide("x\r\n"));
}

TEST_F(UpdaterLogTest, OpenThrowsWhenTheFileCannotBeCreated) {
  std::string path = folder_ / "missing/folder/log.txt";
  EXPECT_THROW(log().Open(path, false), LogFileException);
  EXPECT_FALSE(log().IsOpen());
  log().WriteLine("dropped");  // no crash, nothing written
  try {
    log().Open(path, false);
    FAIL();
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
}

TEST(FormatElapsedTime, FormatsHoursMinutesSecondsMilliseconds) {
  struct Case {
    std::int64_t ms;
    const char* text;
  } cases[] = {
      {0, "0:00:00:000"},
      {999, "0:00:00:999"},
      {1000, "0:00:01:000"},
      {59999, "0:00:59:999"},
      {61001, "0:01:01:001"},
      {3599999, "0:59:59:999"},
      {3600000, "1:00:00:000"},
      {90061001, "25:01:01:001"},
      {360000000000, "100000:00:00:000"},
      {INT64_MAX, "2562047788015:12:55:807"},
      {-1, "0:00:00:000"},
      {INT64_MIN, "0:00:00:000"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatElapsedTime(c.ms), c.text) << c.ms;
}

TEST(LogFileName, NamesTheLogAfterTheApplication) {
  EXPECT_EQ(LogFileName("Unknown app"), "Updater log for Unknown app.txt");
  EXPECT_EQ(LogFileName("My App"), "Updater log for My App.txt");
  EXPECT_EQ(LogFileName("../a\\b"), "Updater log for .._a_b.txt");
}

}  // namespace
