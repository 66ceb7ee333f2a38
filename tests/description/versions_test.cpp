#include "updater/description/versions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "updater/description/md5.h"

namespace {

struct VersionCase {
  std::string a;
  std::string b;
  std::int32_t expected;
};

TEST(CompareVersions, ComparesPartByPartAsNumbers) {
  const std::vector<VersionCase> cases = {
      {"1.2.10", "1.2.9", kVersionNewer},
      {"1.2", "1.2.0", kVersionEqual},
      {"1.0", "1.0.0.0", kVersionEqual},
      {"1.9", "1.10", kVersionOlder},
      {"1,2,3,4", "1.2.3.5", kVersionOlder},
      {"1, 2, 3, 4", "1.2.3.4", kVersionEqual},
      {"2_0", "1.9", kVersionNewer},
      {"1|5", "1.4", kVersionNewer},
      {"3-1", "3.2", kVersionOlder},
      {"4 7", "4.7", kVersionEqual},  // the blank is the separator
      {"5", "4", kVersionNewer},      // no separator: one part
      {"", "0.0.0.0", kVersionEqual},
      {"", "", kVersionEqual},
      {"2.0 beta", "2.0", kVersionEqual},  // "0beta" reads as 0
      {"1.rc1", "1.0", kVersionEqual},
      {"1. 2", "1.2", kVersionEqual},  // blanks inside a part are removed
      {"1.2 3", "1.23", kVersionEqual},
      {"1..2", "1.0.2", kVersionEqual},  // an empty part is 0
      {"1.+2", "1.2", kVersionEqual},
      // "-" is a separator only when no earlier separator occurs in the text.
      {"1.-2", "1.0", kVersionOlder},
      {"abc", "0", kVersionEqual},
      {"0.0.1", "", kVersionNewer},
  };
  for (const VersionCase& c : cases) {
    EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    // The comparison is symmetric.
    const std::int32_t reverse = c.expected == kVersionEqual   ? kVersionEqual
                                 : c.expected == kVersionNewer ? kVersionOlder
                                                               : kVersionNewer;
    EXPECT_EQ(CompareVersions(c.b, c.a), reverse) << c.b << " vs " << c.a;
  }
}

TEST(CompareVersions, HostileTextsSaturateInsteadOfOverflowing) {
  const std::string huge(10000, '9');
  const std::vector<VersionCase> cases = {
      {"2147483647", "2147483646", kVersionNewer},
      {"2147483648", "2147483647", kVersionEqual},  // both at the upper limit
      {huge, "99999999999", kVersionEqual},
      {huge, "2147483646", kVersionNewer},
      {"1." + huge, "1." + huge + "0", kVersionEqual},
      {"1.-2147483649", "1.-2147483648", kVersionEqual},  // both at the lower limit
      {"1.-2147483649", "1.-2147483647", kVersionOlder},
      {std::string(100000, '.'), "", kVersionEqual},
      {std::string(1 << 20, 'x'), "0", kVersionEqual},
      {std::string("1\0"
                   "2",
                   3),
       "1", kVersionEqual},
  };
  for (const VersionCase& c : cases)
    EXPECT_EQ(CompareVersions(c.a, c.b), c.expected) << c.a.substr(0, 40) << " vs " << c.b;
}

TEST(CompareVersions, LooksAtTheFirstFiftyPartsOnly) {
  std::string prefix;
  for (int i = 0; i < 49; ++i) prefix += "0.";
  EXPECT_EQ(CompareVersions(prefix + "1", prefix + "0"), kVersionNewer);        // part 50
  EXPECT_EQ(CompareVersions(prefix + "0.1", prefix + "0.0"), kVersionEqual);    // part 51
  EXPECT_EQ(CompareVersions(prefix + "0.0.0.7", prefix + "0"), kVersionEqual);  // beyond 50
}

class FileFactsTest : public ::testing::Test {
 protected:
  // Writes a file and sets its modification time to the given local time.
  std::string FileAt(const std::string& name, platform::LocalTime time) {
    std::string path = folder_.Write(name, "x");
    std::optional<std::int64_t> seconds = platform::FromLocalTime(time);
    EXPECT_TRUE(seconds.has_value());
    EXPECT_TRUE(platform::SetFileModificationTime(path, seconds.value_or(0)).ok());
    return path;
  }
  TempFolder folder_;
};

TEST_F(FileFactsTest, DatesAreTheLocalModificationTime) {
  struct DateCase {
    platform::LocalTime time;
    std::string date;
    std::string date_time;
  };
  const std::vector<DateCase> cases = {
      {{2021, 7, 15, 13, 14, 15, 0}, "2021-07-15", "2021-07-15/13:14:15"},
      {{1999, 12, 31, 23, 59, 58, 0}, "1999-12-31", "1999-12-31/23:59:58"},
      {{2030, 1, 2, 3, 4, 5, 0}, "2030-01-02", "2030-01-02/03:04:05"},
  };
  int index = 0;
  for (const DateCase& c : cases) {
    std::string path = FileAt("file" + std::to_string(index++), c.time);
    EXPECT_EQ(GetFileDate(path), c.date);
    EXPECT_EQ(GetFileDateTime(path), c.date_time);
  }
  EXPECT_EQ(GetFileDate(folder_ / "missing"), "1970-01-01");
  EXPECT_EQ(GetFileDateTime(folder_ / "missing"), "1970-01-01/00:00:00");
  // A folder is not a file.
  EXPECT_EQ(GetFileDateTime(folder_.path()), "1970-01-01/00:00:00");
}

TEST_F(FileFactsTest, DateTextsSortChronologically) {
  std::string earlier = FileAt("a", {2022, 3, 9, 9, 0, 0, 0});
  std::string later = FileAt("b", {2022, 3, 10, 8, 0, 0, 0});
  EXPECT_LT(GetFileDate(earlier), GetFileDate(later));
  EXPECT_LT(GetFileDateTime(earlier), GetFileDateTime(later));
  EXPECT_GT(GetFileDate(earlier), std::string(kMissingFileDate));
}

TEST_F(FileFactsTest, DigestIsTheMd5OfTheWholeFile) {
  struct DigestCase {
    std::string bytes;
    std::string digest;
  };
  const std::vector<DigestCase> cases = {
      {"", ""},  // an empty file has no digest
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const DigestCase& c : cases)
    EXPECT_EQ(GetFileDigest(folder_.Write("digest", c.bytes)), c.digest) << c.bytes;

  // Larger than a read chunk, and not a multiple of it.
  std::string large(3 * kMd5FileChunk + 1234, '\0');
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i * 7 + i / 251);
  EXPECT_EQ(GetFileDigest(folder_.Write("large", large)), CMd5::HexOf(large));

  EXPECT_EQ(GetFileDigest(folder_ / "missing"), "");
  EXPECT_EQ(GetFileDigest(folder_.path()), "");
}

TEST_F(FileFactsTest, FilesWithoutVersionResourceHaveTheNullVersion) {
  EXPECT_EQ(GetFileVersionString(folder_ / "missing.exe"), "0.0.0.0");
  EXPECT_EQ(GetFileVersionString(folder_.Write("plain.exe", "MZ not really a program")), "0.0.0.0");
  EXPECT_EQ(GetFileVersionString(folder_.Write("empty.dll", "")), "0.0.0.0");
  EXPECT_EQ(CompareVersions("0.0.0.1", GetFileVersionString(folder_ / "missing.exe")),
            kVersionNewer);
}

}  // namespace
