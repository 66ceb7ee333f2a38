#include "starter/pending_installation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "platform/file_lock.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "tests/support/file_traits.h"
#include "tests/support/native_path.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kMarker = "[APPLICATION]\r\nNAME=App\r\nVERSION=2.1.0.0\r\n";

// The starter's own program file as the platform names it.
std::string StarterProgram() { return "Velmora Starter" + platform::ExecutableSuffix(); }

class PendingInstallationTest : public ::testing::Test {
 protected:
  std::string Pending(const std::string& name) const { return "InstallerTemp/" + name; }
  std::string Folder() const { return starter_ / "InstallerTemp"; }
  // A path below the pending folder, in the platform's form.
  std::string InFolder(const std::string& name) const { return starter_ / Pending(name); }

  CPendingInstallation::Outcome Apply(std::int64_t lock_timeout_ms = 1000) {
    CPendingInstallation pending(
        starter_.path(), [this](const std::string& line) { log_.push_back(line); },
        lock_timeout_ms);
    return pending.Apply();
  }

  bool Logged(const std::string& line) const {
    return std::find(log_.begin(), log_.end(), line) != log_.end();
  }
  bool LoggedStart(const std::string& start) const {
    return std::any_of(log_.begin(), log_.end(),
                       [&start](const std::string& line) { return line.rfind(start, 0) == 0; });
  }

  std::vector<std::string> Entries(const std::string& folder) const {
    std::vector<std::string> names =
        platform::ListFolder(folder).value_or(std::vector<std::string>{});
    std::sort(names.begin(), names.end());
    return names;
  }

  TempFolder starter_;
  std::vector<std::string> log_;
};

}  // namespace

struct NothingCase {
  const char* name;
  bool folder;
  const char* marker;  // nullptr: no marker file
};

void PrintTo(const NothingCase& c, std::ostream* out) { *out << c.name; }

class NothingPending : public PendingInstallationTest,
                       public ::testing::WithParamInterface<NothingCase> {};

TEST_P(NothingPending, LogsTheDefaultVersionAndTouchesNothing) {
  const NothingCase& c = GetParam();
  if (c.folder) starter_.Write(Pending("file.txt"), "pending");
  if (c.marker) starter_.Write(Pending("settings.ini"), c.marker);
  EXPECT_EQ(Apply(), CPendingInstallation::Outcome::kNothingPending);
  EXPECT_EQ(log_, (std::vector<std::string>{"settingsIniNew = " + InFolder("settings.ini"),
                                            "VersionNew = 0.0.0.0"}));
  EXPECT_FALSE(platform::PathExists(starter_ / "file.txt"));
  if (c.folder) {
    EXPECT_EQ(starter_.Read(Pending("file.txt")), "pending");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NothingPending,
    ::testing::Values(NothingCase{"NoFolder", false, nullptr},
                      NothingCase{"NoMarker", true, nullptr},
                      NothingCase{"DefaultVersion", true, "[APPLICATION]\nVERSION=0.0.0.0\n"},
                      NothingCase{"NoVersionKey", true, "[APPLICATION]\nNAME=App\n"},
                      NothingCase{"VersionInAnotherSection", true, "[UPDATER]\nVERSION=2.0\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PendingInstallationTest, AppliesEveryFileThenEmptiesTheFolder) {
  starter_.Write("top.txt", "old top");
  starter_.Write("sub/inner.txt", "old inner");
  starter_.Write("sub/untouched.txt", "stays");
  starter_.Write("settings.ini", "the starter folder's own settings");
  starter_.Write(StarterProgram(), "running starter");
  starter_.Write(Pending("settings.ini"), kMarker);
  starter_.Write(Pending(StarterProgram()), "new starter");
  starter_.Write(Pending("top.txt"), "new top");
  starter_.Write(Pending("sub/inner.txt"), "new inner");
  std::string program = starter_.Write(Pending("sub/deeper/tool"), "new tool");
  fs::permissions(program, static_cast<fs::perms>(0755), fs::perm_options::replace);
  starter_.Write(Pending(".hidden"), "dot file");

  EXPECT_EQ(Apply(), CPendingInstallation::Outcome::kApplied);

  const std::string folder = Folder();
  EXPECT_EQ(log_, (std::vector<std::string>{
                      "settingsIniNew = " + InFolder("settings.ini"),
                      "VersionNew = 2.1.0.0",
                      "Folder Copied: " + InFolder("*") + " --> " + (starter_ / ""),
                      "Folder Copied: " + folder + " --> " + starter_.path(),
                      "DeleteFile " + InFolder("settings.ini"),
                      "DeleteFile " + InFolder(StarterProgram()),
                      "delete temp path: " + folder,
                  }));
  EXPECT_EQ(starter_.Read("top.txt"), "new top");
  EXPECT_EQ(starter_.Read("sub/inner.txt"), "new inner");
  EXPECT_EQ(starter_.Read("sub/untouched.txt"), "stays");
  EXPECT_EQ(starter_.Read("sub/deeper/tool"), "new tool");
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(static_cast<unsigned>(fs::status(starter_ / "sub/deeper/tool").permissions()) & 0777,
              0755u);
  }
  EXPECT_EQ(starter_.Read(".hidden"), "dot file");
  // The marker and the starter's own program are never copied.
  EXPECT_EQ(starter_.Read("settings.ini"), "the starter folder's own settings");
  EXPECT_EQ(starter_.Read(StarterProgram()), "running starter");
  // The folder stays, emptied but for entries whose names begin with a dot.
  EXPECT_EQ(Entries(folder), (std::vector<std::string>{".hidden", ".velmora_starter.lock"}));
  EXPECT_EQ(std::count_if(log_.begin(), log_.end(),
                          [](const std::string& l) { return l.rfind("Copy failed", 0) == 0; }),
            0);

  // Applied once: the next start finds nothing pending.
  log_.clear();
  EXPECT_EQ(Apply(), CPendingInstallation::Outcome::kNothingPending);
  EXPECT_TRUE(Logged("VersionNew = 0.0.0.0"));
}

struct BlockedCase {
  const char* name;
  const char* pending_entry;  // a file, or a folder when it ends in '/'
  void (*block)(const TempFolder& starter, const TempFolder& outside);
  bool link = false;  // the obstacle is a symbolic link
};

void PrintTo(const BlockedCase& c, std::ostream* out) { *out << c.name; }

class FailedCopy : public PendingInstallationTest,
                   public ::testing::WithParamInterface<BlockedCase> {};

TEST_P(FailedCopy, KeepsMarkerAndFolderForTheNextStart) {
  const BlockedCase& c = GetParam();
  if (c.link && !test_support::SymbolicLinksAvailable())
    GTEST_SKIP() << "this platform's users cannot make symbolic links";
  TempFolder outside;
  starter_.Write(Pending("settings.ini"), kMarker);
  starter_.Write(Pending("a-good.txt"), "copied anyway");
  std::string entry = c.pending_entry;
  if (entry.back() == '/')
    starter_.Write(Pending(entry + "inner.txt"), "blocked content");
  else
    starter_.Write(Pending(entry), "blocked content");
  c.block(starter_, outside);

  EXPECT_EQ(Apply(), CPendingInstallation::Outcome::kKept);
  EXPECT_TRUE(LoggedStart("Copy failed: " + InFolder("blocked")));
  EXPECT_TRUE(
      Logged("Folder Copy failed, the pending installation stays for the next start: " + Folder()));
  EXPECT_FALSE(LoggedStart("delete temp path"));
  EXPECT_FALSE(LoggedStart("DeleteFile"));
  EXPECT_EQ(starter_.Read(Pending("settings.ini")), kMarker);
  EXPECT_EQ(starter_.Read(Pending("a-good.txt")), "copied anyway");
  EXPECT_TRUE(platform::ListFolder(outside.path())->empty());  // nothing written through a link

  // Once the obstacle is gone, the next start applies the installation.
  fs::remove_all(starter_ / "blocked");
  log_.clear();
  EXPECT_EQ(Apply(), CPendingInstallation::Outcome::kApplied);
  EXPECT_FALSE(platform::PathExists(starter_ / Pending("settings.ini")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailedCopy,
    ::testing::Values(BlockedCase{"FolderInTheWayOfAFile", "blocked",
                                  [](const TempFolder& starter, const TempFolder&) {
                                    starter.Write("blocked/keep.txt", "x");
                                  }},
                      BlockedCase{"FileInTheWayOfAFolder", "blocked/",
                                  [](const TempFolder& starter, const TempFolder&) {
                                    starter.Write("blocked", "a file");
                                  }},
                      BlockedCase{"LinkInTheWayOfAFolder", "blocked/",
                                  [](const TempFolder& starter, const TempFolder& outside) {
                                    fs::create_symlink(outside.path(), starter / "blocked");
                                  },
                                  true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PendingInstallationTest, LinksInsideAreSkippedAndRemovedAsLinks) {
  if (!test_support::SymbolicLinksAvailable())
    GTEST_SKIP() << "this platform's users cannot make symbolic links";
  TempFolder outside;
  std::string secret = outside.Write("secret.txt", "outside file");
  outside.Write("dir/file.txt", "outside folder's file");
  starter_.Write(Pending("settings.ini"), kMarker);
  starter_.Write(Pending("real.txt"), "real");
  fs::create_symlink(secret, starter_ / Pending("file-link"));
  fs::create_symlink(outside / "dir", starter_ / Pending("folder-link"));
  fs::create_directory(starter_ / Pending("sub-link-holder"));
  fs::create_symlink(outside / "dir", starter_ / Pending("sub-link-holder/link"));

  EXPECT_EQ(Apply(), CPendingInstallation::Outcome::kApplied);
  EXPECT_TRUE(Logged("Link skipped: " + InFolder("file-link")));
  EXPECT_TRUE(Logged("Link skipped: " + InFolder("folder-link")));
  EXPECT_EQ(starter_.Read("real.txt"), "real");
  EXPECT_FALSE(platform::PathExists(starter_ / "file-link"));
  EXPECT_FALSE(platform::PathExists(starter_ / "folder-link"));
  EXPECT_FALSE(platform::PathExists(starter_ / "sub-link-holder/link"));
  EXPECT_EQ(Entries(Folder()), (std::vector<std::string>{".velmora_starter.lock"}));
  EXPECT_EQ(outside.Read("secret.txt"), "outside file");
  EXPECT_EQ(outside.Read("dir/file.txt"), "outside folder's file");
}

TEST_F(PendingInstallationTest, FolderThatIsALinkIsNotUsed) {
  if (!test_support::SymbolicLinksAvailable())
    GTEST_SKIP() << "this platform's users cannot make symbolic links";
  TempFolder outside;
  outside.Write("settings.ini", kMarker);
  outside.Write("payload.txt", "x");
  fs::create_symlink(outside.path(), starter_ / "InstallerTemp");
  EXPECT_EQ(Apply(), CPendingInstallation::Outcome::kKept);
  EXPECT_FALSE(platform::PathExists(starter_ / "payload.txt"));
  EXPECT_EQ(outside.Read("settings.ini"), kMarker);
  EXPECT_EQ(outside.Read("payload.txt"), "x");
}

TEST_F(PendingInstallationTest, WaitsForTheLockAndLeavesItAloneWhenItStaysTaken) {
  starter_.Write(Pending("settings.ini"), kMarker);
  starter_.Write(Pending("file.txt"), "new");
  platform::FileLock other;
  ASSERT_TRUE(other.Acquire(InFolder(".velmora_starter.lock"), 0));
  EXPECT_EQ(Apply(0), CPendingInstallation::Outcome::kKept);
  EXPECT_TRUE(LoggedStart("Lock failed, the pending installation stays for the next start: "));
  EXPECT_FALSE(LoggedStart("VersionNew"));
  EXPECT_FALSE(platform::PathExists(starter_ / "file.txt"));
  EXPECT_EQ(starter_.Read(Pending("settings.ini")), kMarker);
}
