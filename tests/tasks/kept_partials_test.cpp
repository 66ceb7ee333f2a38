// The parts of downloads kept across runs: their records, the rescue before
// start-up empties the run's folder, the bounds, and putting a part back.

#include "updater/tasks/download/kept_partials.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "updater/description/sha256.h"

namespace {

constexpr std::int64_t kModified = 1700000000;

class KeptPartialsTest : public ::testing::Test {
 protected:
  std::string Partials() const { return folder_ / "partials_App"; }
  std::string Run() const { return folder_ / "updater_temp_App"; }
  std::string InRun(const std::string& name) const { return Run() + "/1.0/" + name; }
  std::string Meta(const std::string& url) const {
    return Partials() + "/" + Sha256Hex(url) + ".meta";
  }
  std::string Part(const std::string& url) const {
    return Partials() + "/" + Sha256Hex(url) + ".part";
  }
  std::vector<std::string> Names() const {
    return platform::ListFolder(Partials()).value_or(std::vector<std::string>());
  }
  // A download of url cut off after `part` bytes in the run's folder.
  void CutDownload(const std::string& url, const std::string& name, std::size_t part,
                   std::int64_t size = 1000000) const {
    const std::string destination = InRun(name);
    ASSERT_TRUE(platform::CreateFolders(Run() + "/1.0"));
    ASSERT_TRUE(platform::WriteFileAtomic(destination, std::string(part, 'p')));
    ASSERT_TRUE(kept_.Record({url, size, kModified, destination}));
  }

  TempFolder folder_;
  CKeptPartials kept_{folder_ / "partials_App"};
};

TEST(PartialRecordTest, ARecordReadsBackAndOnlyAWholeValidOneIsTrusted) {
  const PartialRecord record{"https://example.com/a b/c.bin?x=1", 12345, kModified, "/tmp/d/c.bin"};
  const std::string part = std::string(64, 'a') + ".part";
  const std::string bytes = PartialRecordBytes(record, part);
  const std::optional<PartialRecord> read = ParsePartialRecord(bytes, part);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->url, record.url);
  EXPECT_EQ(read->size, record.size);
  EXPECT_EQ(read->modified, record.modified);
  EXPECT_EQ(read->destination, record.destination);

  auto replaced = [&bytes](const std::string& from, const std::string& to) {
    std::string changed = bytes;
    changed.replace(changed.find(from), from.size(), to);
    return changed;
  };
  const std::string refused[] = {
      "",
      bytes.substr(0, bytes.size() - 1),                   // cut short
      replaced("velmora partial 1", "velmora partial 2"),  // another format
      replaced("size 12345", "size -5"),                   // negative size
      replaced("size 12345", "size 12a45"),                // not a number
      replaced("size 12345", "size 1234567890123456789"),  // too long
      replaced("modified 1700000000", "modified 0"),       // unknown time
      replaced("part " + part, "part ../../etc/passwd"),   // another part
      replaced("destination /tmp/d/c.bin", "destination relative/c.bin"),
      replaced("url https", "link https"),  // unknown key
      bytes + "extra line\n",               // more lines
      bytes.substr(0, bytes.size() - 1) + std::string(kMaxPartialRecordBytes, 'x') + "\n",
  };
  for (const std::string& text : refused)
    EXPECT_FALSE(ParsePartialRecord(text, part)) << text.substr(0, 200);
}

TEST_F(KeptPartialsTest, RescueKeepsTheCutPartsOfTheRunFolderAndRestoreGivesThemBack) {
  const std::string url = "https://example.com/files/big.bin";
  CutDownload(url, "big.bin", 4000);
  // A record naming a file outside the run's folder: that file is never moved.
  const std::string outside = folder_.Write("elsewhere/keep.bin", "mine");
  ASSERT_TRUE(kept_.Record({"https://example.com/other", 100, kModified, outside}));

  kept_.Rescue(Run());
  EXPECT_FALSE(platform::PathExists(InRun("big.bin")));
  EXPECT_EQ(platform::FileSize(Part(url)), 4000u);
  EXPECT_TRUE(platform::FileExists(Meta(url)));
  EXPECT_EQ(platform::ReadFile(outside, 100), "mine");
  EXPECT_FALSE(platform::PathExists(Meta("https://example.com/other"))) << "no part: no record";

  // The next run: the part is put back where the download goes.
  const std::string destination = folder_ / "next/big.bin";
  const std::optional<PartialRecord> record = kept_.Restore(url, destination);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->size, 1000000);
  EXPECT_EQ(record->modified, kModified);
  EXPECT_EQ(platform::FileSize(destination), 4000u);
  EXPECT_FALSE(platform::PathExists(Part(url)));
  EXPECT_FALSE(kept_.Restore("https://example.com/unknown", folder_ / "next/x.bin"));
  // Cut off again before any answer: the next start finds the part where it went.
  const std::string next_run = folder_ / "next";
  kept_.Rescue(next_run);
  EXPECT_EQ(platform::FileSize(Part(url)), 4000u);
  ASSERT_TRUE(kept_.Restore(url, destination));

  // Complete: the record goes.
  kept_.Forget(url);
  EXPECT_TRUE(Names().empty());
}

TEST_F(KeptPartialsTest, RestoreNeverOverwritesAnExistingFile) {
  const std::string url = "https://example.com/a.bin";
  CutDownload(url, "a.bin", 10);
  kept_.Rescue(Run());
  const std::string existing = folder_.Write("next/a.bin", "present");
  EXPECT_FALSE(kept_.Restore(url, existing));
  EXPECT_EQ(platform::ReadFile(existing, 100), "present");
  EXPECT_TRUE(platform::FileExists(Part(url)));
}

// Malformed, oversize, foreign or orphaned entries are removed, never trusted;
// a part longer than its recorded size is no part of it.
TEST_F(KeptPartialsTest, InvalidEntriesAreRemoved) {
  const std::string good = "https://example.com/good.bin";
  CutDownload(good, "good.bin", 100);
  const std::string longer = "https://example.com/longer.bin";
  CutDownload(longer, "longer.bin", 200, 150);
  kept_.Rescue(Run());
  ASSERT_TRUE(platform::FileExists(Part(good)));

  const std::string other = "https://example.com/other.bin";
  folder_.Write("partials_App/" + Sha256Hex(other) + ".meta", "velmora partial 1\nnonsense\n");
  folder_.Write("partials_App/" + Sha256Hex(other) + ".part", "x");
  // A record copied under another URL's name.
  const std::string moved = "https://example.com/moved.bin";
  ASSERT_TRUE(platform::WriteFileAtomic(
      Meta(moved), platform::ReadFile(Meta(good), kMaxPartialRecordBytes).value_or("")));
  folder_.Write("partials_App/" + Sha256Hex(moved) + ".part", "y");
  folder_.Write("partials_App/" + std::string(64, 'b') + ".meta",
                std::string(kMaxPartialRecordBytes + 1, 'z'));
  folder_.Write("partials_App/" + std::string(64, 'c') + ".part", "orphan");
  folder_.Write("partials_App/stray.txt", "stray");

  kept_.Rescue(Run());
  std::vector<std::string> names = Names();
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {Sha256Hex(good) + ".meta", Sha256Hex(good) + ".part"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

// Over the count or the total size, the largest parts go first.
TEST_F(KeptPartialsTest, TheLargestPartsGoWhenOverTheLimits) {
  for (std::size_t i = 0; i < kMaxKeptPartials + 3; ++i)
    CutDownload("https://example.com/" + std::to_string(i), "f" + std::to_string(i), 10 + i);
  kept_.Rescue(Run());
  EXPECT_EQ(Names().size(), 2 * kMaxKeptPartials);
  for (std::size_t i = 0; i < kMaxKeptPartials + 3; ++i)
    EXPECT_EQ(platform::FileExists(Part("https://example.com/" + std::to_string(i))),
              i < kMaxKeptPartials)
        << i;
}

TEST_F(KeptPartialsTest, TheLargestPartsGoWhenOverTheTotalSize) {
  const std::size_t sizes[] = {300, 100, 500, 200};
  for (std::size_t i = 0; i < std::size(sizes); ++i)
    CutDownload("https://example.com/" + std::to_string(i), "f" + std::to_string(i), sizes[i]);
  CKeptPartials(Partials(), PartialLimits{10, 650}).Rescue(Run());
  // 100 + 200 + 300 fit; 500 does not.
  const bool kept[] = {true, true, false, true};
  for (std::size_t i = 0; i < std::size(sizes); ++i)
    EXPECT_EQ(platform::FileExists(Part("https://example.com/" + std::to_string(i))), kept[i])
        << sizes[i];
}

TEST_F(KeptPartialsTest, ClearRemovesEveryPartAndNothingElse) {
  CutDownload("https://example.com/a", "a", 10);
  CutDownload("https://example.com/b", "b", 20);
  kept_.Rescue(Run());
  const std::string beside = folder_.Write("beside.txt", "stays");
  kept_.Clear();
  EXPECT_TRUE(Names().empty());
  EXPECT_EQ(platform::ReadFile(beside, 100), "stays");
}

TEST(PartialsFolderTest, OneFolderPerApplicationInTheTemporaryFolder) {
  EXPECT_EQ(PartialsFolder("/tmp/velmora-1/", "My App"), "/tmp/velmora-1/partials_My App");
  EXPECT_EQ(PartialsFolder("/tmp/velmora-1/", "a/b"), "/tmp/velmora-1/partials_a_b");
}

}  // namespace
