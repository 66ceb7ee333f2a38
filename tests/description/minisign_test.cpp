#include "updater/description/minisign.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_signing_keys.h"
#include "updater/description/sha256.h"

namespace {

// Made with minisign 0.11: "minisign -G -W" twice (keys A and B), then the
// message signed with key A prehashed (default) and legacy (-l), and with key B.
constexpr char kMessage[] = "hello, update\n";
constexpr const char* kKeyA = kTestPublicKeyA;
constexpr char kKeyAFile[] =
    "untrusted comment: minisign public key 10CB79BC2F0910BB\n"
    "RWS7EAkvvHnLELo2UeEc8EtCzxzLVxw72YcuJ5hrAjRJG8jEUsrGKiMh\n";
constexpr const char* kSecretKeyAFile = kTestSecretKeyA;
constexpr char kPrehashed[] =
    "untrusted comment: signature from minisign secret key\n"
    "RUS7EAkvvHnLEOAVvJcNg4ritGz18j77a9bo9R2/O3eW6ixfYFQ4IMr/uw1AaNL9u4obfOd8pUj399HS/"
    "Bv1HjrNUkhFyKlO"
    "KgY=\n"
    "trusted comment: timestamp:1700000000\tfile:msg.txt\n"
    "4CIbIAwEqpCs/KrpBmnpDfDC304Z5+jqkmVTHA7Jvzuo9I+IVKrhbpo+P0H9J/F1hStTrVftrlm2+CTW1MOyBw==\n";
constexpr char kLegacy[] =
    "untrusted comment: signature from minisign secret key\n"
    "RWS7EAkvvHnLEBm6IiwKeoI6MvY2S5FvqyK11jpNdQYxTlp5FDDm8b9GCJpPYJCEhkDYRPqtAf3j1RyMPTZgPZVjcqyzEZ"
    "iz"
    "DgA=\n"
    "trusted comment: timestamp:1700000000\tfile:msg.txt\n"
    "8N6luCiAfoNE3fL2/nkqU5nuZ0+vsu2lSzFVfkXB85xHPGNAiLM9F2CWnRTNqNcok/scL7o2G4WBK8UDxPJECg==\n";
constexpr char kOtherKey[] =
    "untrusted comment: signature from minisign secret key\n"
    "RUQ39Irto90KD29mbG9T4E2A2B/PLvisb9lltmYjUggUqWV9WbsxW1AAEosmG/"
    "yjYJ1dkkHinOUbePlncz50wkbi3S82GVWF"
    "ywg=\n"
    "trusted comment: timestamp:1700000000\tfile:msg.txt\n"
    "DzHn7ooYOCzu0VSCQGyq7BjITHbgdQ09Rwy2OpavpXS3WsTMjhb2ITrbcjOjFv/U8juzFBUGubnQglGxZh/SAg==\n";

MinisignPublicKey KeyA() { return *ParseMinisignPublicKey(kKeyA).value; }

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

// What verifying kMessage with key A gives: "" or the start of the error.
std::string Verdict(const std::string& signature_text, const std::string& message = kMessage) {
  MinisignParsed<MinisignSignature> parsed = ParseMinisignSignature(signature_text);
  if (!parsed.value) return "parse: " + parsed.error;
  return VerifyMinisign(KeyA(), *parsed.value, message);
}

TEST(MinisignTest, ReadsPublicKeysFromTheLineAndFromTheFile) {
  MinisignParsed<MinisignPublicKey> line =
      ParseMinisignPublicKey(std::string(" ") + kKeyA + "\r\n");
  ASSERT_TRUE(line.value) << line.error;
  EXPECT_EQ(MinisignKeyIdText(line.value->key_id), "10CB79BC2F0910BB");
  MinisignParsed<MinisignPublicKey> file = ParseMinisignPublicKeyFile(kKeyAFile);
  ASSERT_TRUE(file.value) << file.error;
  EXPECT_EQ(file.value->key, line.value->key);
}

TEST(MinisignTest, RefusesPublicKeysThatAreNotKeys) {
  const std::string key = kKeyA;
  for (const std::string& bad : {
           std::string(), key.substr(0, key.size() - 4),  // truncated
           key + "AAAA",                                  // too long
           Replaced(key, "RWS7", "RW?7"),                 // not base64
           Replaced(key, "RWS7", "RXS7"),                 // not "Ed"
           key.substr(0, 20) + " " + key.substr(21),      // a blank inside
           std::string(kKeyAFile).substr(0, 60),          // a file cut short
       })
    EXPECT_FALSE(ParseMinisignPublicKey(bad).value) << bad;
  EXPECT_FALSE(ParseMinisignPublicKeyFile(key + "\n").value);  // no comment line
  EXPECT_FALSE(ParseMinisignPublicKeyFile(std::string(kKeyAFile) + "more\n").value);
  EXPECT_FALSE(
      ParseMinisignPublicKeyFile("untrusted comment: " + std::string(2000, 'x') + "\n" + key)
          .value);
}

struct SignatureCase {
  const char* name;
  std::string signature;
  std::string message;
  std::string verdict;  // "" accepted, else the start of the error
};

TEST(MinisignTest, VerifiesSignaturesOfMinisign) {
  const std::string long_line(kMinisignMaxTrustedCommentLine + 1, 'x');
  const SignatureCase cases[] = {
      {"prehashed", kPrehashed, kMessage, ""},
      {"legacy", kLegacy, kMessage, ""},
      {"crlf line ends",
       Replaced(Replaced(kPrehashed, "key\n", "key\r\n"), "msg.txt\n", "msg.txt\r\n"), kMessage,
       ""},
      {"untrusted comment changed", Replaced(kPrehashed, "from minisign", "from someone"), kMessage,
       ""},
      {"message changed", kPrehashed, "hello, update!\n", "does not match the file"},
      {"legacy message changed", kLegacy, "Hello, update\n", "does not match the file"},
      {"other key", kOtherKey, kMessage, "made with another key (key id 0F0ADDA3ED8AF437"},
      {"trusted comment changed", Replaced(kPrehashed, "1700000000", "1800000000"), kMessage,
       "does not match its trusted comment"},
      {"no final line break", std::string(kPrehashed).substr(0, std::string(kPrehashed).size() - 1),
       kMessage, ""},
      {"signature not base64", Replaced(kPrehashed, "RUS7", "RUS*"), kMessage, "parse: "},
      {"signature truncated", Replaced(kPrehashed, "KgY=\n", "\n"), kMessage, "parse: "},
      {"unknown algorithm", Replaced(kPrehashed, "RUS7", "RXS7"), kMessage, "parse: "},
      {"global signature truncated", Replaced(kPrehashed, "Bw==\n", "\n"), kMessage, "parse: "},
      {"three lines", std::string(kPrehashed).substr(0, std::string(kPrehashed).rfind("4CIb")),
       kMessage, "parse: the signature file does not have four lines"},
      {"five lines", std::string(kPrehashed) + "extra\n", kMessage, "parse: "},
      {"no untrusted comment", Replaced(kPrehashed, "untrusted comment: ", "comment: "), kMessage,
       "parse: "},
      {"no trusted comment", Replaced(kPrehashed, "trusted comment: timestamp", "timestamp"),
       kMessage, "parse: "},
      {"overlong untrusted comment",
       Replaced(kPrehashed, "signature from", std::string(kMinisignMaxCommentLine, 'x')), kMessage,
       "parse: "},
      {"overlong trusted comment", Replaced(kPrehashed, "file:msg.txt", long_line), kMessage,
       "parse: "},
      {"empty", "", kMessage, "parse: "},
      {"too large", std::string(kMinisignMaxFileBytes + 1, '\n'), kMessage,
       "parse: the signature file is too large"},
  };
  for (const SignatureCase& c : cases) {
    const std::string verdict = Verdict(c.signature, c.message);
    if (c.verdict.empty())
      EXPECT_EQ(verdict, "") << c.name;
    else
      EXPECT_EQ(verdict.substr(0, c.verdict.size()), c.verdict) << c.name << ": " << verdict;
  }
}

TEST(MinisignTest, ReadsTheTimestampOfTheTrustedComment) {
  MinisignParsed<MinisignSignature> parsed = ParseMinisignSignature(kPrehashed);
  ASSERT_TRUE(parsed.value);
  EXPECT_EQ(parsed.value->trusted_comment, "timestamp:1700000000\tfile:msg.txt");
  EXPECT_EQ(MinisignTimestamp(parsed.value->trusted_comment), 1700000000);
  EXPECT_EQ(MinisignTimestamp("timestamp:12"), 12);
  for (const char* bad : {"", "file:x\ttimestamp:12", "timestamp:", "timestamp:12x",
                          "timestamp:-12", "timestamp:1234567890123456789"})
    EXPECT_FALSE(MinisignTimestamp(bad)) << bad;
}

TEST(MinisignTest, SignsWithAnUnencryptedSecretKeyOfMinisign) {
  MinisignParsed<MinisignSecretKey> secret = ParseMinisignSecretKeyFile(kSecretKeyAFile);
  ASSERT_TRUE(secret.value) << secret.error;
  EXPECT_EQ(MinisignPublicKeyLine(*secret.value), kKeyA);
  const std::string signature =
      SignMinisign(*secret.value, "some bytes", "timestamp:5\tfile:updatefile.xml");
  EXPECT_EQ(Verdict(signature, "some bytes"), "");
  EXPECT_EQ(MinisignTimestamp(ParseMinisignSignature(signature).value->trusted_comment), 5);
  EXPECT_EQ(Verdict(signature, "some bytez"), "does not match the file");
  // A line break cannot get into the trusted comment.
  EXPECT_EQ(Verdict(SignMinisign(*secret.value, "x", "a\nb"), "x"), "");
}

TEST(MinisignTest, RefusesSecretKeysItCannotUse) {
  const std::string file = kSecretKeyAFile;
  struct Case {
    std::string text;
    std::string error;
  } cases[] = {
      {Replaced(file, "RWQAAEIy", "RWRTY0Iy"), "the secret key is encrypted with a password"},
      {Replaced(file, "vg0Aj", "vg0Ak"), "the secret key is damaged"},
      {Replaced(file, "AAAAAAAAAAAAAAAAAAA=", "BBBBBBBBBBBBBBBBBBA="),
       "the secret key's checksum does not match"},
      {Replaced(file, "RWQAAEIy", "RWQAAEIz"), "the secret key names an unknown checksum"},
      {Replaced(file, "AAA=\n", "AA=\n"), "the secret key is not the base64"},
      {"RWQAAEIy\n", "the key file does not have the form"},
  };
  for (const Case& c : cases) {
    MinisignParsed<MinisignSecretKey> parsed = ParseMinisignSecretKeyFile(c.text);
    EXPECT_FALSE(parsed.value);
    EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error) << parsed.error;
  }
}

TEST(Sha256Test, DigestsAndTheirTextForm) {
  EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_TRUE(IsSha256Text(Sha256Hex("abc")));
  for (const std::string& bad :
       {std::string(), std::string(63, 'a'), std::string(65, 'a'), std::string(64, 'A'),
        std::string(63, 'a') + "g", std::string(63, 'a') + " "})
    EXPECT_FALSE(IsSha256Text(bad)) << bad;
}

}  // namespace
