#include "updater/description/description_signature.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_signing_keys.h"
#include "updater/description/minisign.h"
#include "updater/description/sha256.h"

namespace {

class DescriptionSignaturesTest : public ::testing::Test {
 protected:
  // Writes the description and its signature made at the time given.
  void Write(const std::string& bytes, std::int64_t seconds) {
    folder_.Write("d.xml", bytes);
    folder_.Write("d.xml.minisig",
                  SignMinisign(*ParseMinisignSecretKeyFile(kTestSecretKeyA).value, bytes,
                               "timestamp:" + std::to_string(seconds) + "\tfile:d.xml"));
  }
  std::string Description() const { return folder_ / "d.xml"; }
  std::string Times() const { return folder_ / "times.txt"; }
  std::string TimesText() const { return platform::ReadFile(Times(), 1 << 20).value_or(""); }

  TempFolder folder_;
};

TEST_F(DescriptionSignaturesTest, WithoutAKeyNothingIsChecked) {
  CDescriptionSignatures signatures(" ", Times());
  EXPECT_FALSE(signatures.enabled());
  EXPECT_EQ(signatures.Check(Description(), "https://h/d.xml"), "");
  EXPECT_FALSE(platform::PathExists(Times()));
}

TEST_F(DescriptionSignaturesTest, SigningTimesAreRememberedPerAddress) {
  CDescriptionSignatures signatures(kTestPublicKeyA, Times());
  Write("<UPDATEINFO/>", 200);
  EXPECT_EQ(signatures.Check(Description(), "https://h/a.xml"), "");
  // Another address has a memory of its own; the shipped file has none.
  Write("<UPDATEINFO/>", 100);
  EXPECT_EQ(signatures.Check(Description(), "https://h/b.xml"), "");
  EXPECT_EQ(signatures.Check(Description(), ""), "");
  EXPECT_EQ(signatures.Check(Description(), "https://h/a.xml").rfind("signed at 100, before", 0),
            0u);
  EXPECT_EQ(TimesText(),
            Sha256Hex("https://h/a.xml") + " 200\n" + Sha256Hex("https://h/b.xml") + " 100\n");
}

TEST_F(DescriptionSignaturesTest, TheMemoryIsBoundedAndDamagedLinesAreSkipped) {
  folder_.Write("times.txt", "garbage\n" + Sha256Hex("x") + " -5\n" + Sha256Hex("x") + "\n");
  constexpr std::size_t kBound = 4;
  CDescriptionSignatures signatures(kTestPublicKeyA, Times(), kBound);
  Write("<UPDATEINFO/>", 7);
  for (std::size_t i = 0; i <= kBound; ++i)
    ASSERT_EQ(signatures.Check(Description(), "https://h/" + std::to_string(i)), "");
  const std::string text = TimesText();
  EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), kBound);
  // The oldest address went first.
  EXPECT_EQ(text.find(Sha256Hex("https://h/0")), std::string::npos);
  EXPECT_NE(text.find(Sha256Hex("https://h/1") + " 7\n"), std::string::npos);
  EXPECT_EQ(text.find("garbage"), std::string::npos);
}

}  // namespace
