#include "updater/tasks/install/zip_extractor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>

#include "platform/file_system.h"
#include "tests/support/file_traits.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_writer.h"
#include "tests/tasks/zip_test_support.h"

namespace fs = std::filesystem;
using zip_test::Tree;

namespace {

unsigned ModeOf(const std::string& path) {
  return static_cast<unsigned>(fs::status(path).permissions()) & 07777;
}

class ZipExtractorTest : public ::testing::Test {
 protected:
  // Writes an archive of its own beside the target folder: an archive that an
  // extractor holds open cannot be replaced on Windows.
  std::string WriteArchive(const std::string& bytes) {
    return dir_.Write("archive" + std::to_string(archives_++) + ".zip", bytes);
  }
  std::string Target() const { return dir_ / "target"; }

  TempFolder dir_;
  int archives_ = 0;
};

// ---------------------------------------------------------------------------
// Hostile and broken archives

struct HostileCase {
  std::string label;
  std::string bytes;
};

std::vector<HostileCase> HostileCases(const std::string& root) {
  auto one = [](ZipTestEntry entry) { return MakeZip({std::move(entry)}); };
  auto with_crc = [](ZipTestEntry entry) {
    entry.crc = 0x12345678;
    return entry;
  };
  auto with_size = [](ZipTestEntry entry, std::uint64_t size) {
    entry.uncompressed_size = size;
    return entry;
  };
  std::string backslashed = root;
  for (char& c : backslashed)
    if (c == '/') c = '\\';
  ZipTestEntry encrypted = ZipFile("secret.txt", "xxxx");
  encrypted.encrypted_flag = true;
  ZipTestEntry bad_utf8 = ZipFile("bad\xC3.txt", "x");
  bad_utf8.utf8_flag = true;
  std::string good = MakeZip({ZipFile("ok.txt", "fine")});

  return {
      {"ParentName", one(ZipFile("../x", "evil"))},
      {"ParentInside", one(ZipFile("a/../../x", "evil"))},
      {"ParentBackslash", one(ZipFile("..\\x", "evil"))},
      {"ParentAfterGoodEntry", MakeZip({ZipFile("ok.txt", "fine"), ZipFile("../x", "evil")})},
      {"Absolute", one(ZipFile(root + "/x", "evil"))},
      {"AbsoluteEtc", one(ZipFile("/etc/velmora-zip-test-x", "evil"))},
      {"BackslashAbsolute", one(ZipFile(backslashed + "\\x", "evil"))},
      {"BackslashRoot", one(ZipFile("\\x", "evil"))},
      {"DriveBackslash", one(ZipFile("C:\\x", "evil"))},
      {"DriveSlash", one(ZipFile("C:/x", "evil"))},
      {"DriveRelative", one(ZipFile("c:x", "evil"))},
      {"DotsComponent", one(ZipFile("a/.../x", "evil"))},
      {"ZeroByteInName", one(ZipFile(std::string("a\0/../../x", 10), "evil"))},
      {"ControlCharacter", one(ZipFile("a\nb", "evil"))},
      {"FlaggedNotUtf8", one(bad_utf8)},
      {"NameTooLong", one(ZipFile(std::string(4097, 'n'), "x"))},
      {"Symlink", MakeZip({ZipSymlink("link", root), ZipFile("link/x", "evil")})},
      {"SymlinkAlone", one(ZipSymlink("link", "/etc/passwd"))},
      {"SetUid", one(ZipFile("tool", "#!/bin/sh\n", 04755))},
      {"SetGid", one(ZipFile("tool", "#!/bin/sh\n", 02755))},
      {"Sticky", one(ZipFile("tool", "x", 01644))},
      {"Encrypted", one(encrypted)},
      {"BadCrcStored", one(with_crc(ZipFile("f.txt", "hello world")))},
      {"BadCrcDeflated", one(with_crc(ZipFile("f.txt", std::string(5000, 'a'), 0644, true)))},
      {"DeclaredLongerStored", one(with_size(ZipFile("f.txt", "hello"), 50))},
      {"DeclaredLongerDeflated",
       one(with_size(ZipFile("f.txt", std::string(3000, 'z'), 0644, true), 4000))},
      {"DeclaredShorterDeflated",
       one(with_size(ZipFile("f.txt", std::string(3000, 'z'), 0644, true), 2000))},
      {"Truncated", good.substr(0, good.size() - 10)},
      {"TruncatedHalf", good.substr(0, good.size() / 2)},
      {"NotAZip", "This is a plain text file, not an archive.\n"},
      {"Empty", MakeZip({})},
      {"ZeroBytes", ""},
  };
}

TEST_F(ZipExtractorTest, HostileArchivesFailAndWriteNothingOutsideTheTarget) {
  for (const auto& c : HostileCases(dir_.path())) {
    SCOPED_TRACE(c.label);
    platform::RemoveTree(Target());
    std::string archive = WriteArchive(c.bytes);
    CZipExtractor extractor;
    platform::Status opened = extractor.Open(archive);
    platform::Status status =
        opened ? extractor.ExtractAll(Target()) : platform::Status::Fail("not opened");
    EXPECT_FALSE(status);
    if (!opened) {
      EXPECT_EQ(extractor.EntryCount(), 0u);
    }
    std::set<std::string> outside = Tree(dir_.path());
    std::erase_if(outside, [](const std::string& p) {  // the archives themselves
      return p.rfind("archive", 0) == 0 && p.find('/') == std::string::npos;
    });
    std::erase_if(outside, [](const std::string& p) { return p.rfind("target/", 0) == 0; });
    EXPECT_TRUE(outside.empty()) << *outside.begin();
    // No file at all: refused names are caught before anything is written, and
    // a damaged entry leaves neither its name nor a temporary file behind.
    for (const auto& p : Tree(Target())) EXPECT_EQ(p.back(), '/') << p;
  }
  EXPECT_FALSE(platform::PathExists("/etc/velmora-zip-test-x"));
}

TEST_F(ZipExtractorTest, DamagedEntryKeepsEarlierEntriesAndLeavesNoPart) {
  ZipTestEntry bad = ZipFile("b.txt", std::string(10000, 'b'), 0644, true);
  bad.crc = 1;
  dir_.Write("target/b.txt", "old b");
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip({ZipFile("a.txt", "new a"), bad}))));
  platform::Status status = extractor.ExtractAll(Target());
  ASSERT_FALSE(status);
  EXPECT_NE(status.message().find("checksum"), std::string::npos) << status.message();
  EXPECT_EQ(dir_.Read("target/a.txt"), "new a");
  EXPECT_EQ(dir_.Read("target/b.txt"), "old b");  // the old file stays whole
  EXPECT_EQ(Tree(Target()), (std::set<std::string>{"a.txt", "b.txt"}));
}

TEST_F(ZipExtractorTest, NeverWritesThroughASymbolicLinkInTheTarget) {
  if (!test_support::SymbolicLinksAvailable())
    GTEST_SKIP() << "this platform's users cannot make symbolic links";
  TempFolder outside;
  ASSERT_TRUE(platform::CreateFolders(Target()));
  fs::create_directory_symlink(outside.path(), Target() + "/plugins");
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip({ZipFile("plugins/x.dll", "evil")}))));
  EXPECT_FALSE(extractor.ExtractAll(Target()));
  EXPECT_TRUE(Tree(outside.path()).empty());
  ASSERT_TRUE(extractor.GotoFirstFile());
  EXPECT_FALSE(extractor.UnzipFile(Target(), false));
  EXPECT_TRUE(Tree(outside.path()).empty());
}

TEST_F(ZipExtractorTest, ASymbolicLinkAtTheFileNameIsReplacedNotFollowed) {
  if (!test_support::SymbolicLinksAvailable())
    GTEST_SKIP() << "this platform's users cannot make symbolic links";
  TempFolder outside;
  std::string victim = outside.Write("victim.txt", "keep");
  ASSERT_TRUE(platform::CreateFolders(Target()));
  fs::create_symlink(victim, Target() + "/a.txt");
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip({ZipFile("a.txt", "new")}))));
  ASSERT_TRUE(extractor.ExtractAll(Target()));
  EXPECT_FALSE(platform::IsSymbolicLink(Target() + "/a.txt"));
  EXPECT_EQ(dir_.Read("target/a.txt"), "new");
  EXPECT_EQ(outside.Read("victim.txt"), "keep");
}

TEST_F(ZipExtractorTest, LimitsOnEntriesAndBytes) {
  std::string archive = WriteArchive(
      MakeZip({ZipFile("a", "1234"), ZipFile("b", "5678"), ZipFolder("c/"), ZipFile("d", "9")}));
  struct Case {
    ZipExtractorLimits limits;
    bool opens;
  } cases[] = {
      {{4, 4096, 100}, true}, {{3, 4096, 100}, false}, {{4, 4096, 9}, true},
      {{4, 4096, 8}, false},  {{4, 0, 100}, false},
  };
  for (const auto& c : cases) {
    CZipExtractor extractor(c.limits);
    EXPECT_EQ(static_cast<bool>(extractor.Open(archive)), c.opens)
        << c.limits.max_entries << " " << c.limits.max_total_bytes;
  }
}

TEST_F(ZipExtractorTest, OpenFailsWithoutAnArchive) {
  CZipExtractor extractor;
  EXPECT_FALSE(extractor.Open(""));
  EXPECT_FALSE(extractor.Open(dir_ / "missing.zip"));
  EXPECT_FALSE(extractor.Open(dir_.path()));
  EXPECT_FALSE(extractor.is_open());
  EXPECT_FALSE(extractor.GotoFirstFile());
  EXPECT_FALSE(extractor.UnzipFile(Target(), false));
  EXPECT_FALSE(extractor.ExtractAll(Target()));
}

// ---------------------------------------------------------------------------
// Good archives

TEST_F(ZipExtractorTest, ExtractsNestedFoldersStoredAndDeflated) {
  std::string big(100000, '\0');
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) % 251);
  std::string archive = WriteArchive(MakeZip({
      ZipFolder("empty/"),
      ZipFile("top.txt", "top"),
      ZipFile("a/b/c/deep.txt", "deep", 0644, true),
      ZipFile("a\\win.txt", "backslash separators"),
      ZipFile("a/big.bin", big, 0644, true),
      ZipFile("a/stored.bin", big),
      ZipFile("a/zero.txt", ""),
  }));
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(archive));
  EXPECT_EQ(extractor.EntryCount(), 7u);
  std::vector<std::uint64_t> progress;
  platform::Status status = extractor.ExtractAll(Target(), [&](auto done, auto total) {
    EXPECT_EQ(total, 7u);
    progress.push_back(done);
  });
  ASSERT_TRUE(status) << status.message();
  EXPECT_EQ(progress, (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(Tree(Target()),
            (std::set<std::string>{"empty/", "top.txt", "a/", "a/b/", "a/b/c/", "a/b/c/deep.txt",
                                   "a/win.txt", "a/big.bin", "a/stored.bin", "a/zero.txt"}));
  EXPECT_EQ(dir_.Read("target/a/b/c/deep.txt"), "deep");
  EXPECT_EQ(dir_.Read("target/a/win.txt"), "backslash separators");
  EXPECT_EQ(dir_.Read("target/a/big.bin"), big);
  EXPECT_EQ(dir_.Read("target/a/stored.bin"), big);
  EXPECT_EQ(dir_.Read("target/a/zero.txt"), "");
}

TEST_F(ZipExtractorTest, NamesAreUtf8WhenFlaggedElseCodePage437) {
  ZipTestEntry flagged = ZipFile(
      "stra\xC3\x9F"
      "e/\xE6\x97\xA5\xE6\x9C\xAC.txt",
      "utf8");
  flagged.utf8_flag = true;
  std::string long_name = std::string(200, 'l') + "/" + std::string(200, 'm') + ".txt";
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(
      MakeZip({flagged, ZipFile("caf\x82/\x94l.txt", "cp437"), ZipFile(long_name, "long")}))));
  ASSERT_TRUE(extractor.ExtractAll(Target()));
  EXPECT_EQ(dir_.Read("target/stra\xC3\x9F"
                      "e/\xE6\x97\xA5\xE6\x9C\xAC.txt"),
            "utf8");
  EXPECT_EQ(dir_.Read("target/caf\xC3\xA9/\xC3\xB6l.txt"), "cp437");
  EXPECT_EQ(dir_.Read("target/" + long_name), "long");
}

TEST_F(ZipExtractorTest, NamesFollowTheHostAndTheUnicodePathField) {
  const std::string cafe = "caf\xC3\xA9.txt";
  const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";
  auto entry = [](std::string raw, std::string data, unsigned host, std::string extra) {
    ZipTestEntry e = ZipFile(std::move(raw), std::move(data));
    e.version_made_by = static_cast<std::uint16_t>((host << 8) | 20);
    if (host != 3) e.external_attributes = 0x20;
    e.extra = std::move(extra);
    return e;
  };
  struct Case {
    ZipTestEntry entry;
    std::string extracted;
  } cases[] = {
      // What Info-ZIP zip writes on Linux: UTF-8 bytes, no flag, Unix host.
      {entry(cafe, "unix", 3, ""), cafe},
      // What Windows archivers write: a stand-in name and the Unicode Path field.
      {entry("___.txt", "unicode", 11, UnicodePathField("___.txt", japanese)), japanese},
      // A field for another name is not this entry's.
      {entry("old.txt", "stale", 11, UnicodePathField("other.txt", "new.txt")), "old.txt"},
      // From an MS-DOS host the bytes are code page 437.
      {entry("\x82t\x82.txt", "dos", 0, ""), "\xC3\xA9t\xC3\xA9.txt"},
  };
  std::vector<ZipTestEntry> entries;
  std::set<std::string> expected;
  for (const auto& c : cases) {
    entries.push_back(c.entry);
    expected.insert(c.extracted);
  }
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip(entries))));
  platform::Status status = extractor.ExtractAll(Target());
  ASSERT_TRUE(status) << status.message();
  EXPECT_EQ(Tree(Target()), expected);
  for (const auto& c : cases) EXPECT_EQ(dir_.Read("target/" + c.extracted), c.entry.data);
}

// ---------------------------------------------------------------------------
// Harmless entries that archivers write

TEST_F(ZipExtractorTest, TheDestinationItselfIsPassedOverAndSpecialFilesBecomeFiles) {
  // bsdtar writes "./" for the folder it started in; zip writes a FIFO entry
  // for data read from a pipe.
  ZipTestEntry dot_file = ZipFolder(".");
  dot_file.external_attributes = 0100644u << 16;
  struct Special {
    std::string name;
    unsigned type;
  } specials[] = {{"-", 0010000}, {"char", 0020000}, {"block", 0060000}, {"socket", 0140000}};
  std::vector<ZipTestEntry> entries = {ZipFolder("./"), ZipFolder(".//"), dot_file,
                                       ZipFile("./a.txt", "a")};
  for (const auto& special : specials) {
    ZipTestEntry e = ZipFile(special.name, "data of " + special.name, 0600, true);
    e.external_attributes = (special.type | 0600u) << 16;
    entries.push_back(e);
  }
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip(entries))));
  EXPECT_EQ(extractor.EntryCount(), 5u);
  ASSERT_TRUE(extractor.GotoFirstFile());
  EXPECT_EQ(extractor.CurrentEntry()->name, "a.txt");
  std::vector<std::uint64_t> progress;
  platform::Status status =
      extractor.ExtractAll(Target(), [&](auto done, auto) { progress.push_back(done); });
  ASSERT_TRUE(status) << status.message();
  EXPECT_EQ(progress, (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(Tree(Target()), (std::set<std::string>{"a.txt", "-", "char", "block", "socket"}));
  for (const auto& special : specials) {
    SCOPED_TRACE(special.name);
    std::string path = Target() + "/" + special.name;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(path)));
    EXPECT_EQ(dir_.Read("target/" + special.name), "data of " + special.name);
    if (test_support::FilesHaveModeBits()) {
      EXPECT_EQ(ModeOf(path), 0644u);
    }
  }

  // An archive of nothing but the folder itself has no entries.
  CZipExtractor only_dot;
  ASSERT_TRUE(only_dot.Open(WriteArchive(MakeZip({ZipFolder("./")}))));
  EXPECT_EQ(only_dot.EntryCount(), 0u);
  EXPECT_FALSE(only_dot.GotoFirstFile());
}

// ---------------------------------------------------------------------------
// ZIP64 and free space

TEST_F(ZipExtractorTest, SizesInTheZip64FieldAreRead) {
  std::vector<ZipTestEntry> entries = {ZipFile("stored.txt", "stored in zip64"),
                                       ZipFile("deflated.txt", std::string(5000, 'd'), 0644, true)};
  for (auto& e : entries) e.zip64 = true;
  CZipExtractor extractor;
  platform::Status opened = extractor.Open(WriteArchive(MakeZip(entries)));
  ASSERT_TRUE(opened) << opened.message();
  EXPECT_EQ(extractor.DeclaredBytes(), 15u + 5000u);
  platform::Status status = extractor.ExtractAll(Target());
  ASSERT_TRUE(status) << status.message();
  EXPECT_EQ(dir_.Read("target/stored.txt"), "stored in zip64");
  EXPECT_EQ(dir_.Read("target/deflated.txt"), std::string(5000, 'd'));
}

TEST_F(ZipExtractorTest, AnEntryOfMoreThanFourGigabytesIsDeclaredWhole) {
  ZipTestEntry big = ZipFile("big.bin", "");
  big.zeros = (4ULL << 30) + 12345;
  big.zip64 = true;
  CZipExtractor extractor;
  platform::Status opened = extractor.Open(WriteArchive(MakeZip({big, ZipFile("small.txt", "s")})));
  ASSERT_TRUE(opened) << opened.message();
  EXPECT_EQ(extractor.DeclaredBytes(), *big.zeros + 1);
  ASSERT_TRUE(extractor.GotoFirstFile());
  EXPECT_EQ(extractor.CurrentEntry()->uncompressed_size, *big.zeros);
}

TEST_F(ZipExtractorTest, AnArchiveLargerThanTheFreeSpaceWritesNothing) {
  constexpr std::uint64_t kMegabyte = 1 << 20;
  std::string archive =
      WriteArchive(MakeZip({ZipFile("a.bin", std::string(2 * kMegabyte, 'a'), 0644, true),
                            ZipFile("sub/b.bin", std::string(kMegabyte + 1, 'b'), 0644, true)}));
  struct Case {
    std::optional<std::uint64_t> free;
    bool fits;
  } cases[] = {{3 * kMegabyte, false}, {0, false}, {3 * kMegabyte + 1, true}, {std::nullopt, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.free ? std::to_string(*c.free) : "unknown");
    platform::RemoveTree(Target());
    std::vector<std::string> asked;
    CZipExtractor extractor;
    extractor.SetFreeSpaceSource([&](const std::string& path) {
      asked.push_back(path);
      return c.free;
    });
    ASSERT_TRUE(extractor.Open(archive));
    EXPECT_EQ(extractor.DeclaredBytes(), 3 * kMegabyte + 1);
    platform::Status status = extractor.ExtractAll(Target() + "/deeper");
    // The destination does not exist yet: its nearest existing folder is asked.
    EXPECT_EQ(asked, std::vector<std::string>{dir_.path()});
    if (c.fits) {
      EXPECT_TRUE(status) << status.message();
      EXPECT_EQ(dir_.Read("target/deeper/sub/b.bin").size(), kMegabyte + 1);
    } else {
      ASSERT_FALSE(status);
      EXPECT_NE(status.message().find("unpacks to 4 MB"), std::string::npos) << status.message();
      EXPECT_FALSE(platform::PathExists(Target()));
    }
  }
}

TEST_F(ZipExtractorTest, PermissionBitsAndTime) {
  ZipTestEntry dos_plain = ZipFile("dos.txt", "d");
  dos_plain.version_made_by = 20;  // MS-DOS host: no Unix mode
  dos_plain.external_attributes = 0x20;
  ZipTestEntry dos_read_only = dos_plain;
  dos_read_only.name = "dos_ro.txt";
  dos_read_only.external_attributes = 0x21;
  struct Case {
    ZipTestEntry entry;
    unsigned mode;
  } cases[] = {
      {ZipFile("run.sh", "#!/bin/sh\n", 0755), 0755},
      {ZipFile("user_exec", "x", 0744), 0744},
      {ZipFile("plain.txt", "x", 0644), 0644},
      {ZipFile("private.txt", "x", 0600), 0644},
      {ZipFile("open.sh", "x", 0777), 0755},
      {ZipFile("readonly.txt", "x", 0444), 0444},
      {dos_plain, 0644},
      {dos_read_only, 0444},
  };
  std::vector<ZipTestEntry> entries;
  for (const auto& c : cases) entries.push_back(c.entry);
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip(entries))));
  ASSERT_TRUE(extractor.ExtractAll(Target()));
  for (const auto& c : cases) {
    const unsigned mode = ModeOf(Target() + "/" + c.entry.name);
    // Windows files show the owner's write bit only (their read-only attribute).
    EXPECT_EQ(mode & 0200u, c.mode & 0200u) << c.entry.name;
    if (test_support::FilesHaveModeBits()) {
      EXPECT_EQ(mode, c.mode) << c.entry.name;
    }
  }

  std::tm local{};
  local.tm_year = 2021 - 1900;
  local.tm_mon = 5;
  local.tm_mday = 15;
  local.tm_hour = 13;
  local.tm_min = 45;
  local.tm_sec = 30;
  local.tm_isdst = -1;
  EXPECT_EQ(platform::FileModificationTime(Target() + "/run.sh"),
            static_cast<std::int64_t>(std::mktime(&local)));
}

TEST_F(ZipExtractorTest, ExistingFilesAreOverwritten) {
  dir_.Write("target/a.txt", "old a");
  dir_.Write("target/sub/b.txt", "old b");
  fs::permissions(Target() + "/sub/b.txt", fs::perms::owner_read);
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(
      MakeZip({ZipFile("a.txt", "new a"), ZipFile("sub/b.txt", "new b", 0644, true)}))));
  ASSERT_TRUE(extractor.ExtractAll(Target()));
  EXPECT_EQ(dir_.Read("target/a.txt"), "new a");
  EXPECT_EQ(dir_.Read("target/sub/b.txt"), "new b");
  EXPECT_NE(ModeOf(Target() + "/sub/b.txt") & 0200u, 0u);
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(ModeOf(Target() + "/sub/b.txt"), 0644u);
  }
}

TEST_F(ZipExtractorTest, AFolderOrFileInTheWayFails) {
  struct Case {
    std::string existing_folder, existing_file;
    ZipTestEntry entry;
  } cases[] = {
      {"x.txt", "", ZipFile("x.txt", "file onto folder")},
      {"", "d", ZipFolder("d/")},
      {"", "d", ZipFile("d/f.txt", "below a file")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.entry.name);
    platform::RemoveTree(Target());
    if (!c.existing_folder.empty()) {
      ASSERT_TRUE(platform::CreateFolders(Target() + "/" + c.existing_folder));
    }
    if (!c.existing_file.empty()) dir_.Write("target/" + c.existing_file, "in the way");
    std::set<std::string> before = Tree(Target());
    CZipExtractor extractor;
    ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip({c.entry}))));
    EXPECT_FALSE(extractor.ExtractAll(Target()));
    EXPECT_EQ(Tree(Target()), before);
  }
}

TEST_F(ZipExtractorTest, StepsThroughEntriesByNameAndIgnoresPaths) {
  std::string archive = WriteArchive(MakeZip({
      ZipFile("one/Readme.TXT", "first"),
      ZipFile("two/three/other.txt", "other"),
      ZipFile("four/readme.txt", "second"),
  }));
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(archive));
  ASSERT_TRUE(extractor.GotoFirstFile("README.txt"));
  EXPECT_EQ(extractor.CurrentEntry()->name, "one/Readme.TXT");
  ASSERT_TRUE(extractor.GotoNextFile("readme.txt"));
  EXPECT_EQ(extractor.CurrentEntry()->name, "four/readme.txt");
  EXPECT_FALSE(extractor.GotoNextFile("readme.txt"));
  EXPECT_FALSE(extractor.GotoFirstFile("missing.txt"));

  ASSERT_TRUE(extractor.GotoFirstFile("other.txt"));
  ASSERT_TRUE(extractor.UnzipFile(Target(), true));
  EXPECT_EQ(Tree(Target()), (std::set<std::string>{"other.txt"}));
  EXPECT_EQ(dir_.Read("target/other.txt"), "other");

  // Without a destination the entry goes beside the archive.
  ASSERT_TRUE(extractor.GotoFirstFile());
  ASSERT_TRUE(extractor.UnzipFile("", false));
  EXPECT_EQ(dir_.Read("one/Readme.TXT"), "first");
  EXPECT_EQ(extractor.output_folder(), dir_.path());
}

TEST_F(ZipExtractorTest, CancelStopsBeforeTheNextEntry) {
  std::atomic<bool> cancel{false};
  CZipExtractor extractor;
  extractor.SetCancelFlag(&cancel);
  ASSERT_TRUE(extractor.Open(WriteArchive(
      MakeZip({ZipFile("a.txt", "a"), ZipFile("b.txt", std::string(200000, 'b'), 0644, true)}))));
  EXPECT_FALSE(extractor.ExtractAll(Target(), [&](auto, auto) { cancel = true; }));
  EXPECT_EQ(Tree(Target()), (std::set<std::string>{"a.txt"}));
  // Cancelled during the entry: nothing of it is left.
  ASSERT_TRUE(extractor.GotoFirstFile("b.txt"));
  EXPECT_FALSE(extractor.UnzipFile(Target(), false));
  EXPECT_EQ(Tree(Target()), (std::set<std::string>{"a.txt"}));
}

TEST_F(ZipExtractorTest, ManyEntries) {
  std::vector<ZipTestEntry> entries;
  for (int i = 0; i < 1000; ++i)
    entries.push_back(ZipFile("d" + std::to_string(i % 10) + "/f" + std::to_string(i) + ".txt",
                              "entry " + std::to_string(i), 0644, i % 2 == 0));
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip(entries))));
  EXPECT_EQ(extractor.EntryCount(), 1000u);
  std::uint64_t calls = 0;
  ASSERT_TRUE(extractor.ExtractAll(Target(), [&](auto done, auto) { calls = done; }));
  EXPECT_EQ(calls, 1000u);
  EXPECT_EQ(Tree(Target()).size(), 1010u);
  EXPECT_EQ(dir_.Read("target/d7/f997.txt"), "entry 997");
  EXPECT_EQ(dir_.Read("target/d0/f0.txt"), "entry 0");
}

TEST_F(ZipExtractorTest, CountsEntriesBeyondTheSixteenBitField) {
  std::vector<ZipTestEntry> entries(0xFFFF, ZipFolder("f/"));
  CZipExtractor extractor;
  ASSERT_TRUE(extractor.Open(WriteArchive(MakeZip(entries))));
  EXPECT_EQ(extractor.EntryCount(), 0xFFFFu);
}

}  // namespace
