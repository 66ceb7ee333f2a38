// Archives made by the archivers users have (Info-ZIP zip, 7z, bsdtar,
// Python's zipfile) at test time, extracted by CZipExtractor. The run script
// installs the tools; a missing one fails the test.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/disk_space.h"
#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/zip_writer.h"
#include "tests/tasks/zip_test_support.h"
#include "updater/tasks/install/zip_extractor.h"

namespace fs = std::filesystem;
using zip_test::Tree;

namespace {

const std::string kCafe = "caf\xC3\xA9.txt";                               // café.txt
const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt";  // 日本語.txt

class ZipToolsTest : public ::testing::Test {
 protected:
  ZipToolsTest() {
    dir_.Write("src/" + kCafe, "caf\xC3\xA9\n");
    dir_.Write("src/" + kJapanese, "\xE6\x97\xA5\xE6\x9C\xAC\n");
    dir_.Write("src/" + std::string("sub/deflated.txt"), std::string(20000, 'x'));
  }

  // Runs a tool from /usr/bin or /bin in the source folder; true when it
  // ended with code 0.
  bool Run(const std::string& tool, const std::vector<std::string>& arguments) {
    std::string path;
    for (const std::string folder : {"/usr/bin/", "/bin/"})
      if (platform::IsExecutableFile(folder + tool)) path = folder + tool;
    if (path.empty()) {
      ADD_FAILURE() << tool << " is not installed (the run script installs it)";
      return false;
    }
    auto started = platform::StartProgram(path, arguments, dir_ / "src");
    if (!started.status) {
      ADD_FAILURE() << tool << ": " << started.status.message();
      return false;
    }
    auto code = platform::WaitForProcess(started.pid, 60000);
    if (!code) (void)platform::TerminateProcess(started.pid, true);
    EXPECT_EQ(code, 0) << tool;
    return code == 0;
  }

  // Opens and extracts the archive into a fresh target folder.
  platform::Status Extract(const std::string& archive, std::uint64_t* entries = nullptr) {
    platform::RemoveTree(Target());
    CZipExtractor extractor;
    platform::Status status = extractor.Open(archive);
    if (status) status = extractor.ExtractAll(Target());
    if (entries) *entries = extractor.EntryCount();
    return status;
  }

  std::string Target() const { return dir_ / "target"; }

  TempFolder dir_;
};

TEST_F(ZipToolsTest, NamesFromEveryArchiverAreKept) {
  const std::string archive = dir_ / "names.zip";
  const std::string python =
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    for name in sys.argv[2:]: z.write(name)\n";
  struct Case {
    std::string tool;
    std::vector<std::string> arguments;
  } cases[] = {
      // Unix host, UTF-8 bytes, no UTF-8 flag.
      {"zip", {"-q", "-r", archive, kCafe, kJapanese, "sub"}},
      {"7z", {"a", "-tzip", "-bd", "-bso0", archive, kCafe, kJapanese, "sub"}},
      {"bsdtar", {"--format", "zip", "-cf", archive, kCafe, kJapanese, "sub"}},
      {"python3", {"-c", python, archive, kCafe, kJapanese, "sub", "sub/deflated.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tool);
    fs::remove(archive);
    ASSERT_TRUE(Run(c.tool, c.arguments));
    platform::Status status = Extract(archive);
    ASSERT_TRUE(status) << status.message();
    EXPECT_EQ(Tree(Target()),
              (std::set<std::string>{kCafe, kJapanese, "sub/", "sub/deflated.txt"}));
    EXPECT_EQ(dir_.Read("target/" + kCafe), "caf\xC3\xA9\n");
    EXPECT_EQ(dir_.Read("target/" + kJapanese), "\xE6\x97\xA5\xE6\x9C\xAC\n");
    EXPECT_EQ(dir_.Read("target/sub/deflated.txt"), std::string(20000, 'x'));
  }
}

TEST_F(ZipToolsTest, TheStartFolderAndPipedDataAreExtracted) {
  // bsdtar writes "./" for the folder it starts from.
  const std::string dot = dir_ / "dot.zip";
  ASSERT_TRUE(Run("bsdtar", {"--format", "zip", "-cf", dot, "."}));
  std::uint64_t entries = 0;
  platform::Status status = Extract(dot, &entries);
  ASSERT_TRUE(status) << status.message();
  EXPECT_EQ(entries, 4u);  // the two files, "sub/" and its file
  EXPECT_EQ(Tree(Target()), (std::set<std::string>{kCafe, kJapanese, "sub/", "sub/deflated.txt"}));

  // zip marks data read from a pipe as a FIFO named "-".
  const std::string piped = dir_ / "piped.zip";
  ASSERT_TRUE(Run("sh", {"-c", "printf 'piped data' | zip -q '" + piped + "' -"}));
  status = Extract(piped);
  ASSERT_TRUE(status) << status.message();
  EXPECT_EQ(Tree(Target()), std::set<std::string>{"-"});
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(Target() + "/-")));
  EXPECT_EQ(dir_.Read("target/-"), "piped data");

  // A symbolic link stays refused: the whole archive fails, nothing written.
  fs::create_symlink("/etc/passwd", dir_ / "src/link");
  const std::string linked = dir_ / "linked.zip";
  ASSERT_TRUE(Run("zip", {"-q", "--symlinks", linked, kCafe, "link"}));
  EXPECT_FALSE(Extract(linked));
  EXPECT_TRUE(Tree(Target()).empty());
}

TEST_F(ZipToolsTest, ForcedZip64Archive) {
  const std::string archive = dir_ / "zip64.zip";
  ASSERT_TRUE(Run("zip", {"-q", "-r", "-fz", archive, kCafe, "sub"}));
  platform::Status status = Extract(archive);
  ASSERT_TRUE(status) << status.message();
  EXPECT_EQ(dir_.Read("target/" + kCafe), "caf\xC3\xA9\n");
  EXPECT_EQ(dir_.Read("target/sub/deflated.txt"), std::string(20000, 'x'));
}

// No archiver makes a zip of more than 4 GiB quickly (each deflates every
// byte), so the test writer builds it: zeros, deflated once per megabyte block
// and repeated, sizes in the ZIP64 field.
TEST_F(ZipToolsTest, AnEntryOfMoreThanFourGigabytesIsExtracted) {
  constexpr std::uint64_t kSize = (4ULL << 30) + (1 << 20) + 7;
  ZipTestEntry big = ZipFile("big.bin", "");
  big.zeros = kSize;
  big.zip64 = true;
  std::string archive = dir_.Write("big.zip", MakeZip({big, ZipFile("after.txt", "after")}));
  auto free = platform::FreeDiskSpace(dir_.path());
  ASSERT_TRUE(free);
  if (*free < kSize + (1ULL << 30)) GTEST_SKIP() << "needs 5 GiB free in " << dir_.path();
  platform::Status status = Extract(archive);
  ASSERT_TRUE(status) << status.message();
  EXPECT_EQ(platform::GetFileFacts(Target() + "/big.bin")->size, kSize);
  EXPECT_EQ(dir_.Read("target/after.txt"), "after");
  platform::RemoveTree(Target());
}

}  // namespace
