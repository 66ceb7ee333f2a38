// Signatures against the minisign program itself: what the release tool signs
// verifies with "minisign -V", and what "minisign -S" signs the updater accepts.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/support/temp_folder.h"
#include "tools/release/release_builder.h"
#include "updater/description/description_signature.h"
#include "updater/description/minisign.h"

namespace {

class MinisignToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"/usr/bin/", "/bin/"})
      if (platform::IsExecutableFile(std::string(folder) + "minisign"))
        minisign_ = std::string(folder) + "minisign";
    ASSERT_FALSE(minisign_.empty()) << "minisign is not installed (the run script installs it)";
    // A key pair without a password, as a vendor makes it for the release tool.
    ASSERT_EQ(Minisign({"-G", "-W", "-p", PublicKeyFile(), "-s", SecretKeyFile()}), 0);
  }

  // The exit code of minisign with the arguments, run in the test's folder.
  std::optional<int> Minisign(const std::vector<std::string>& arguments) {
    platform::StartResult started = platform::StartProgram(minisign_, arguments, folder_.path());
    if (!started.status) {
      ADD_FAILURE() << started.status.message();
      return std::nullopt;
    }
    std::optional<int> code = platform::WaitForProcess(started.pid, 60000);
    if (!code) (void)platform::TerminateProcess(started.pid, true);
    return code;
  }

  std::string PublicKeyFile() const { return folder_ / "key.pub"; }
  std::string SecretKeyFile() const { return folder_ / "key.sec"; }
  // The base64 line of the public key file, as PUBLICKEY holds it.
  std::string PublicKeyLine() const {
    const std::string text = platform::ReadFile(PublicKeyFile(), 4096).value_or("");
    const std::size_t start = text.find('\n') + 1;
    return text.substr(start, text.find('\n', start) - start);
  }

  TempFolder folder_;
  std::string minisign_;
};

TEST_F(MinisignToolTest, TheReleaseToolsSignatureVerifiesWithMinisign) {
  folder_.Write("previous/readme.txt", "1.0\n");
  folder_.Write("next/readme.txt", "2.0\n");
  for (const bool encrypt : {false, true}) {
    SCOPED_TRACE(encrypt);
    ReleaseOptions options;
    options.previous = folder_ / "previous";
    options.next = folder_ / "next";
    options.version = "2.0";
    options.base_url = "https://updates.example.test/app";
    options.output = folder_ / (encrypt ? "encrypted" : "plain");
    options.encrypt = encrypt;
    options.sign_key_file = SecretKeyFile();
    ReleaseReport report = BuildRelease(options);
    ASSERT_EQ(report.exit_code, kReleaseExitOk) << (report.errors.empty() ? "" : report.errors[0]);
    const std::string update_file = options.output + "/updatefile.xml";
    EXPECT_EQ(Minisign({"-V", "-q", "-m", update_file, "-p", PublicKeyFile()}), 0);

    // One byte changed: minisign refuses it too.
    std::string bytes = platform::ReadFile(update_file, 1 << 20).value_or("");
    bytes[bytes.size() / 2] ^= 1;
    ASSERT_TRUE(platform::WriteFileAtomic(update_file, bytes));
    EXPECT_NE(Minisign({"-V", "-q", "-m", update_file, "-p", PublicKeyFile()}), 0);
  }
}

TEST_F(MinisignToolTest, TheUpdaterAcceptsWhatMinisignSigns) {
  const std::string description = folder_ / "updatefile.xml";
  folder_.Write("updatefile.xml",
                "<UPDATEINFO><GENERAL><VERSION>2</VERSION></GENERAL></UPDATEINFO>");
  CDescriptionSignatures signatures(PublicKeyLine(), folder_ / "times.txt");
  ASSERT_TRUE(signatures.enabled());
  // Prehashed (the default) and legacy signatures, each with minisign's own
  // trusted comment ("timestamp:<now>\tfile:updatefile.xml").
  for (const std::vector<std::string>& mode :
       {std::vector<std::string>{}, std::vector<std::string>{"-l"}}) {
    std::vector<std::string> arguments = {"-S", "-s", SecretKeyFile(), "-m", description};
    arguments.insert(arguments.end(), mode.begin(), mode.end());
    ASSERT_EQ(Minisign(arguments), 0);
    EXPECT_EQ(signatures.Check(description, "https://updates.example.test/updatefile.xml"), "");
    EXPECT_EQ(signatures.Check(description, ""), "");
  }
  // Another key of minisign's.
  ASSERT_EQ(Minisign({"-G", "-W", "-p", folder_ / "other.pub", "-s", folder_ / "other.sec"}), 0);
  ASSERT_EQ(Minisign({"-S", "-s", folder_ / "other.sec", "-m", description}), 0);
  EXPECT_EQ(signatures.Check(description, "").rfind("made with another key", 0), 0u);
}

}  // namespace
