#include "updater/description/update_sequence.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_settings.h"
#include "updater/description/aes_encryptor.h"

namespace {

// An update file with the given SEQUENCE markup beside the usual nodes.
std::string UpdateFile(const std::string& sequence) {
  return "<?xml version=\"1.0\" "
         "?>\r\n<UPDATEINFO>\r\n<GENERAL><VERSION>3.0</VERSION></GENERAL>\r\n" +
         sequence +
         "\r\n<SECTIONS><SECTION name=\"a\" version=\"1\"/></SECTIONS>\r\n</UPDATEINFO>\r\n";
}

std::string Sequence(const std::string& minimum, const std::string& location) {
  return "<SEQUENCE><MINIMUMVERSION>" + minimum + "</MINIMUMVERSION><LOCATION>" + location +
         "</LOCATION></SEQUENCE>";
}

TEST(GetSequenceLocation, RedirectsApplicationsOlderThanTheMinimum) {
  struct Case {
    const char* label;
    std::string application_version;
    std::string file;
    std::string expected;
  };
  const std::string seq = Sequence("2.0", "https://host/old.xml");
  const std::vector<Case> cases = {
      {"older", "1.5", UpdateFile(seq), "https://host/old.xml"},
      {"as new", "2.0", UpdateFile(seq), ""},
      {"as new, longer form", "2.0.0.0", UpdateFile(seq), ""},
      {"newer", "2.1", UpdateFile(seq), ""},
      {"parts as numbers", "1.9", UpdateFile(Sequence("1.10", "next.xml")), "next.xml"},
      {"no LOCATION", "1.0",
       UpdateFile("<SEQUENCE><MINIMUMVERSION>2.0</MINIMUMVERSION></SEQUENCE>"), ""},
      {"no MINIMUMVERSION", "1.0", UpdateFile("<SEQUENCE><LOCATION>x.xml</LOCATION></SEQUENCE>"),
       ""},
      {"LOCATION first", "1.0",
       UpdateFile("<SEQUENCE><LOCATION>first.xml</LOCATION>"
                  "<MINIMUMVERSION>2.0</MINIMUMVERSION></SEQUENCE>"),
       "first.xml"},
      {"only the first SEQUENCE counts", "1.0",
       UpdateFile(Sequence("0.5", "one.xml") + Sequence("2.0", "two.xml")), ""},
      {"placeholder kept", "1.0", UpdateFile(Sequence("2.0", "%updater%older.xml")),
       "%updater%older.xml"},
      {"decoded text", "1.0", UpdateFile(Sequence("2.0", " a&amp;b ")), " a&b "},
      {"CDATA", "1.0", UpdateFile(Sequence("<![CDATA[2.0]]>", "<![CDATA[https://h/f?a=1&b=2]]>")),
       "https://h/f?a=1&b=2"},
      {"no SEQUENCE", "1.0", UpdateFile(""), ""},
      {"SEQUENCE outside UPDATEINFO", "1.0", Sequence("2.0", "x.xml"), ""},
      {"names are case-sensitive", "1.0",
       UpdateFile("<sequence><MINIMUMVERSION>2.0</MINIMUMVERSION>"
                  "<LOCATION>x.xml</LOCATION></sequence>"),
       ""},
      {"empty application version", "", UpdateFile(seq), "https://host/old.xml"},
      {"not XML", "1.0", "garbage", ""},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    std::string path = folder.Write("updatefile.xml", c.file);
    EXPECT_EQ(GetSequenceLocation(path, c.application_version), c.expected) << c.label;
  }
  EXPECT_EQ(GetSequenceLocation(folder / "missing.xml", "1.0"), "");
}

TEST(GetSequenceLocation, ReadsEncryptedFilesAndTheSettingsVersion) {
  TempFolder folder;
  const std::string file = UpdateFile(Sequence("2.0", "https://host/\xE2\x82\xAC.xml"));
  std::string path = folder.Write("enc.xml", EncryptUpdateFile(file));
  EXPECT_EQ(GetSequenceLocation(path, "1.0"), "https://host/\xE2\x82\xAC.xml");

  CUpdaterSettings::ResetInstance();
  CUpdaterSettings::Instance().MutableValues().version = "1.0";
  EXPECT_EQ(GetSequenceLocation(path), "https://host/\xE2\x82\xAC.xml");
  CUpdaterSettings::Instance().MutableValues().version = "2.0";
  EXPECT_EQ(GetSequenceLocation(path), "");
  CUpdaterSettings::ResetInstance();

  // A broken encrypted file names no location.
  EXPECT_EQ(GetSequenceLocation(folder.Write("bad.xml", "enc12345"), "1.0"), "");
}

// Serves update files by location, as the download would.
class FakeServer {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> fetched;
  bool fail = false;

  SequenceFetcher Fetcher() {
    return [this](const std::string& location, const std::string& destination) {
      fetched.push_back(location);
      auto it = files.find(location);
      if (fail || it == files.end()) return false;
      return platform::WriteFileAtomic(destination, it->second).ok();
    };
  }
};

class FollowUpdateSequenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CUpdaterLog::ResetInstance();
    CUpdaterLog::Instance().Open(folder_ / "log.txt", false);
  }
  void TearDown() override { CUpdaterLog::ResetInstance(); }

  // A chain of `length` redirections: file i sends versions below 9 to file i+1.
  void BuildChain(int length) {
    for (int i = 1; i <= length; ++i) {
      std::string next = i < length ? Sequence("9", "loc" + std::to_string(i + 1)) : "";
      server_.files["loc" + std::to_string(i)] =
          UpdateFile(next) + "<!-- " + std::to_string(i) + " -->";
    }
  }

  TempFolder folder_;
  FakeServer server_;
};

TEST_F(FollowUpdateSequenceTest, FollowsAChainToItsEnd) {
  BuildChain(3);
  std::string working = folder_.Write("updatefile.xml", UpdateFile(Sequence("9", "loc1")));
  SequenceResult result = FollowUpdateSequence(working, "1.0", server_.Fetcher());
  EXPECT_EQ(result.status, SequenceResult::Status::kReady);
  EXPECT_EQ(result.error_code, 0);
  EXPECT_EQ(result.redirections, 3);
  EXPECT_EQ(server_.fetched, (std::vector<std::string>{"loc1", "loc2", "loc3"}));
  EXPECT_EQ(folder_.Read("updatefile.xml"), server_.files["loc3"]);
}

TEST_F(FollowUpdateSequenceTest, AFileWithoutRedirectionIsUsedAsItIs) {
  std::string working = folder_.Write("updatefile.xml", UpdateFile(Sequence("1.0", "loc1")));
  SequenceResult result = FollowUpdateSequence(working, "1.0", server_.Fetcher());
  EXPECT_EQ(result.status, SequenceResult::Status::kReady);
  EXPECT_EQ(result.redirections, 0);
  EXPECT_TRUE(server_.fetched.empty());
}

TEST_F(FollowUpdateSequenceTest, TheRedirectionsAreBounded) {
  struct Case {
    int chain;
    SequenceResult::Status status;
    int fetches;
  };
  const std::vector<Case> cases = {
      {kMaxSequenceRedirections - 1, SequenceResult::Status::kReady, kMaxSequenceRedirections - 1},
      {kMaxSequenceRedirections, SequenceResult::Status::kReady, kMaxSequenceRedirections},
      {kMaxSequenceRedirections + 1, SequenceResult::Status::kTooManyRedirections,
       kMaxSequenceRedirections},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chain);
    server_ = FakeServer();
    // The working copy redirects to loc1, which starts a chain of c.chain - 1 more.
    BuildChain(c.chain);
    std::string working = folder_.Write("updatefile.xml", UpdateFile(Sequence("9", "loc1")));
    SequenceResult result = FollowUpdateSequence(working, "1.0", server_.Fetcher());
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(static_cast<int>(server_.fetched.size()), c.fetches);
    EXPECT_EQ(result.error_code, c.status == SequenceResult::Status::kReady ? 0 : 2);
  }
}

TEST_F(FollowUpdateSequenceTest, ALoopEndsAsAServerError) {
  server_.files["self"] = UpdateFile(Sequence("9", "self"));
  std::string working = folder_.Write("updatefile.xml", server_.files["self"]);
  SequenceResult result = FollowUpdateSequence(working, "1.0", server_.Fetcher());
  EXPECT_EQ(result.status, SequenceResult::Status::kTooManyRedirections);
  EXPECT_EQ(result.error_code, kSequenceServerErrorCode);
  EXPECT_EQ(result.redirections, kMaxSequenceRedirections);
  EXPECT_EQ(server_.fetched.size(), static_cast<std::size_t>(kMaxSequenceRedirections));
  CUpdaterLog::Instance().Close();
  std::string log = folder_.Read("log.txt");
  std::u16string units;
  for (std::size_t i = 2; i + 1 < log.size(); i += 2)
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(log[i]) |
                                          static_cast<unsigned char>(log[i + 1]) << 8));
  EXPECT_EQ(Utf16ToUtf8(units), "UPDATE SEQUENCE ERROR: more than 16 redirections\r\n");
}

TEST_F(FollowUpdateSequenceTest, AFailedDownloadEndsAsAServerError) {
  std::string working = folder_.Write("updatefile.xml", UpdateFile(Sequence("9", "nowhere")));
  SequenceResult result = FollowUpdateSequence(working, "1.0", server_.Fetcher());
  EXPECT_EQ(result.status, SequenceResult::Status::kDownloadFailed);
  EXPECT_EQ(result.error_code, kSequenceServerErrorCode);
  EXPECT_EQ(server_.fetched, std::vector<std::string>{"nowhere"});

  result = FollowUpdateSequence(working, "1.0", SequenceFetcher());
  EXPECT_EQ(result.status, SequenceResult::Status::kDownloadFailed);
}

TEST_F(FollowUpdateSequenceTest, TheFollowerCountsStepByStep) {
  BuildChain(2);
  std::string working = folder_.Write("updatefile.xml", UpdateFile(Sequence("9", "loc1")));
  CUpdateSequenceFollower follower("1.0");
  SequenceStep step = follower.Next(working);
  EXPECT_EQ(step.kind, SequenceStep::Kind::kDownload);
  EXPECT_EQ(step.location, "loc1");
  EXPECT_EQ(follower.redirections(), 1);
  folder_.Write("updatefile.xml", server_.files["loc1"]);
  step = follower.Next(working);
  EXPECT_EQ(step.location, "loc2");
  folder_.Write("updatefile.xml", server_.files["loc2"]);
  step = follower.Next(working);
  EXPECT_EQ(step.kind, SequenceStep::Kind::kLoad);
  EXPECT_EQ(step.location, "");
  EXPECT_EQ(follower.redirections(), 2);
}

}  // namespace
