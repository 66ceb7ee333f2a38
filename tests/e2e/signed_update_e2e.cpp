// Signed releases with the built updater against nginx: the release tool signs
// the update file it publishes (--sign), the updater's settings name the
// public key (PUBLICKEY), and the shipped pointer to the server carries its
// own signature. What the server serves must be that key's, unchanged, and not
// signed before what the updater accepted last.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

#include "platform/file_system.h"
#include "tests/e2e/updater_installation.h"
#include "tests/support/nginx_fixture.h"
#include "tests/support/test_signing_keys.h"
#include "updater/core/exit_status.h"
#include "updater/description/minisign.h"

namespace {

using Installation = UpdaterInstallation;

std::string SignedWith(const char* secret_key, const std::string& bytes, std::int64_t seconds) {
  return SignMinisign(*ParseMinisignSecretKeyFile(secret_key).value, bytes,
                      "timestamp:" + std::to_string(seconds) + "\tfile:updatefile.xml");
}

std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

class SignedUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
    installation_.folder().Write("keys/release.key", kTestSecretKeyA);
    const std::string base = nginx_.HttpUrl("/");
    ASSERT_EQ(installation_.Publish(base, {"--sign", installation_.folder() / "keys/release.key"}),
              "");
    installation_.Install(base + "updatefile.xml", "", "",
                          std::string("PUBLICKEY=") + kTestPublicKeyA + "\n");
    // The pointer shipped with the program is signed by the vendor too.
    const std::string pointer = ReadAll(installation_.PointerFile());
    ASSERT_TRUE(platform::WriteFileAtomic(installation_.PointerFile() + ".minisig",
                                          SignedWith(kTestSecretKeyA, pointer, 1))
                    .ok());
  }

  static std::string ReadAll(const std::string& path) {
    return platform::ReadFile(path, 1 << 20).value_or("");
  }
  std::string Published() const { return installation_.WwwFolder() + "/updatefile.xml"; }
  void WritePublished(const std::string& path, const std::string& bytes) const {
    ASSERT_TRUE(platform::WriteFileAtomic(path, bytes).ok());
  }

  // Runs the updater and expects it to refuse the served description with
  // the log line given, changing nothing.
  void ExpectRefused(const std::string& log_line) {
    const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());
    const UpdaterRun run = installation_.RunUpdater();
    ASSERT_TRUE(run.ended) << run.log;
    EXPECT_EQ(run.exit_code, kExitFailed);
    EXPECT_NE(run.log.find(log_line), std::string::npos) << run.log;
    EXPECT_EQ(run.log.find("starting task: TASK_DOWNLOAD"), std::string::npos) << run.log;
    EXPECT_EQ(TreeDifferences(before, SnapshotTree(installation_.ApplicationFolder())), "");
    EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
    EXPECT_FALSE(platform::PathExists(installation_.SectionsFile()));
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
};

TEST_F(SignedUpdate, ASignedReleaseInstalls) {
  const UpdaterRun run = installation_.RunUpdater();
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(TreeDifferences(SnapshotTree(installation_.ReleaseFolder(Installation::kNewVersion)),
                            SnapshotTree(installation_.ApplicationFolder())),
            "")
      << run.log;
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
  bool signature_fetched = false;
  for (const NginxFixture::Request& request : nginx_.RequestsFor("/updatefile.xml.minisig"))
    signature_fetched = signature_fetched || request.status == 200;
  EXPECT_TRUE(signature_fetched);
}

TEST_F(SignedUpdate, OneByteChangedIsRefused) {
  std::string bytes = ReadAll(Published());
  const std::size_t at = bytes.find(Installation::kNewVersion);
  ASSERT_NE(at, std::string::npos);
  bytes[at] = '3';  // VERSION 3.0.0.0
  WritePublished(Published(), bytes);
  ExpectRefused("signature: updatefile.xml refused: does not match the file");
}

TEST_F(SignedUpdate, TheSignatureOfAnotherKeyIsRefused) {
  WritePublished(Published() + ".minisig",
                 SignedWith(kTestSecretKeyB, ReadAll(Published()), Now()));
  ExpectRefused("signature: updatefile.xml refused: made with another key");
}

TEST_F(SignedUpdate, AMissingSignatureIsRefused) {
  ASSERT_TRUE(platform::RemoveFile(Published() + ".minisig").ok());
  ExpectRefused("signature: updatefile.xml refused: the signature cannot be fetched");
}

TEST_F(SignedUpdate, ADescriptionSignedBeforeTheLastAcceptedIsRefused) {
  // A first run accepts a description signed now that offers nothing new.
  const std::string release = ReadAll(Published());
  const std::string nothing_new =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<UPDATEINFO><GENERAL><VERSION>" +
      std::string(Installation::kOldVersion) + "</VERSION></GENERAL></UPDATEINFO>\n";
  WritePublished(Published(), nothing_new);
  WritePublished(Published() + ".minisig", SignedWith(kTestSecretKeyA, nothing_new, Now()));
  const UpdaterRun first = installation_.RunUpdater();
  ASSERT_TRUE(first.ended) << first.log;
  EXPECT_EQ(first.log.find("signature:"), std::string::npos) << first.log;

  // Then the server replays a release signed earlier.
  WritePublished(Published(), release);
  WritePublished(Published() + ".minisig", SignedWith(kTestSecretKeyA, release, Now() - 3600));
  installation_.RemoveLog();
  ExpectRefused("before the description accepted last");
}

}  // namespace
