// A download cut off in the middle: nginx sends a large file of the release
// slowly and is stopped while the updater fetches it. That run ends with an
// error and a rollback and leaves the application as it was; a later run,
// with the server back, completes the update. Although that run's start
// empties the temporary data, the part of the first run was kept: the later
// run asks only for the rest, and nginx sends only the rest.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/e2e/updater_installation.h"
#include "tests/support/nginx_fixture.h"
#include "updater/core/exit_status.h"

namespace {

using Installation = UpdaterInstallation;

constexpr std::int64_t kBigFileBytes = 3 << 20;
constexpr std::int64_t kBytesPerSecond = 256 << 10;
constexpr char kBigFilePath[] = "/files/data/big.bin";
// The first run waits at most this long for the transfer to be under way.
constexpr auto kTransferBound = std::chrono::seconds(30);

// Bytes that no compression or guess makes shorter.
std::string Pseudorandom(std::int64_t size) {
  std::string bytes(static_cast<std::size_t>(size), '\0');
  std::uint32_t state = 0x9e3779b9u;
  for (char& byte : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = static_cast<char>(state & 0xff);
  }
  return bytes;
}

// The size of the file in folder whose name ends with suffix; nullopt when there is none.
std::optional<std::uint64_t> SizeOfFileEndingWith(const std::string& folder,
                                                  const std::string& suffix) {
  const std::vector<std::string> names =
      platform::ListFolder(folder).value_or(std::vector<std::string>());
  for (const std::string& name : names)
    if (name.ends_with(suffix)) return platform::FileSize(folder + "/" + name);
  return std::nullopt;
}

class InterruptedDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    installation_.WriteReleaseFile(Installation::kNewVersion, "data/big.bin",
                                   Pseudorandom(kBigFileBytes));
    nginx_.LimitRate(kBigFilePath, kBytesPerSecond);
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
  }

  // Waits until the updater has written more than the fast first part of the
  // large file, then stops nginx. False when the updater ended before or the
  // transfer did not get that far in time.
  bool StopServerDuringTransfer(platform::ProcessId updater) {
    const std::string updater_temp = installation_.PrivateTemp() + "/updater_temp_" +
                                     Installation::kAppName + "/" + Installation::kOldVersion;
    const auto deadline = std::chrono::steady_clock::now() + kTransferBound;
    while (std::chrono::steady_clock::now() < deadline) {
      const std::optional<std::uint64_t> written = SizeOfFileEndingWith(updater_temp, "big.bin");
      if (written && *written > static_cast<std::uint64_t>(kBytesPerSecond)) {
        nginx_.Stop();
        return true;
      }
      // Also the bounded pause between two looks.
      if (platform::WaitForProcess(updater, 20)) return false;
    }
    return false;
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
};

TEST_F(InterruptedDownload, ALaterRunCompletesTheUpdate) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(nginx_.HttpUrl("/updatefile.xml"));
  const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());

  // The first run: the server goes away in the middle of the large file.
  const platform::ProcessId first = installation_.StartUpdater();
  ASSERT_GT(first, 0);
  const bool stopped = StopServerDuringTransfer(first);
  const UpdaterRun cut = installation_.WaitForUpdater(first);
  ASSERT_TRUE(stopped) << "the transfer was not under way\n" << cut.log;
  ASSERT_TRUE(cut.ended) << "the run did not end in time\n" << cut.log;
  EXPECT_EQ(cut.exit_code, kExitFailed);  // nothing was installed
  EXPECT_NE(cut.log.find("starting task: TASK_ROLLBACK"), std::string::npos) << cut.log;
  EXPECT_EQ(cut.log.find("starting task: TASK_INSTALL"), std::string::npos) << cut.log;
  EXPECT_EQ(TreeDifferences(before, SnapshotTree(installation_.ApplicationFolder())), "");
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
  const std::int64_t sent_before_cut = [&] {
    std::int64_t sent = 0;
    for (const NginxFixture::Request& request : nginx_.RequestsFor(kBigFilePath))
      sent += request.bytes_sent;
    return sent;
  }();
  EXPECT_LT(sent_before_cut, kBigFileBytes);
  const std::size_t requests_before = nginx_.RequestsFor(kBigFilePath).size();
  const std::string updater_temp = installation_.PrivateTemp() + "/updater_temp_" +
                                   Installation::kAppName + "/" + Installation::kOldVersion;
  const std::uint64_t stored = SizeOfFileEndingWith(updater_temp, "big.bin").value_or(0);
  ASSERT_GT(stored, 0u) << cut.log;

  // The second run, with the server back at full speed, completes the update
  // (resuming the file or fetching it anew).
  nginx_.ClearRateLimits();
  ASSERT_TRUE(nginx_.Start()) << nginx_.Message();
  const UpdaterRun completed = installation_.RunUpdater();
  ASSERT_TRUE(completed.ended) << completed.log;
  EXPECT_EQ(completed.exit_code, kExitOk);
  EXPECT_NE(completed.log.find("task ready: TASK_INSTALL"), std::string::npos) << completed.log;
  EXPECT_EQ(completed.log.find("TASK_ROLLBACK"), std::string::npos) << completed.log;
  EXPECT_EQ(TreeDifferences(SnapshotTree(installation_.ReleaseFolder(Installation::kNewVersion)),
                            SnapshotTree(installation_.ApplicationFolder())),
            "");
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
  // The second run: a HEAD for the size, then one range request for the
  // rest of what the first run had stored; only the rest was sent.
  const std::vector<NginxFixture::Request> requests = nginx_.RequestsFor(kBigFilePath);
  ASSERT_EQ(requests.size(), requests_before + 2);
  EXPECT_EQ(requests[requests_before].method, "HEAD");
  EXPECT_EQ(requests[requests_before].bytes_sent, 0);
  const NginxFixture::Request& last = requests.back();
  EXPECT_EQ(last.method, "GET");
  EXPECT_EQ(last.status, 206);
  EXPECT_EQ(last.range, "bytes=" + std::to_string(stored) + "-");
  EXPECT_EQ(last.bytes_sent, kBigFileBytes - static_cast<std::int64_t>(stored));
  // Nothing is kept once the update is installed.
  EXPECT_EQ(
      platform::ListFolder(installation_.PrivateTemp() + "/partials_" + Installation::kAppName)
          .value_or(std::vector<std::string>()),
      std::vector<std::string>());
}

}  // namespace
