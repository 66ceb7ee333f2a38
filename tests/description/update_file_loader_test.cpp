#include "updater/description/update_file_loader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/description/aes_encryptor.h"
#include "updater/description/event_table.h"
#include "updater/description/rijndael.h"
#include "updater/description/update_file_data.h"
#include "updater/description/xml_document.h"

namespace {

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return bytes;
}

std::string Fixture() {
  auto text =
      platform::ReadFile(std::string(VELMORA_FIXTURES) + "/loading/updatefile.xml", 1 << 20);
  return text.value_or("");
}

// The UTF-16 bytes of a UTF-8 text, with or without byte-order mark, in
// little-endian order unless big_endian is set.
std::string Utf16File(std::string_view utf8, bool bom, bool big_endian = false) {
  std::string bytes = !bom ? "" : big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : Utf8ToUtf16(utf8)) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes.push_back(big_endian ? high : low);
    bytes.push_back(big_endian ? low : high);
  }
  return bytes;
}

// Everything the loaded records hold, as one text to compare.
std::string DescribeRecords() {
  const CUpdateFileData& data = CUpdateFileData::Instance();
  std::ostringstream out;
  out << "version=" << data.version << "\nlicense=" << data.license
      << "\nclose=" << static_cast<int>(data.close_application)
      << "\nflags=" << data.check_separately << data.enable_rollback << data.show_errors
      << data.self_update << data.resume_downloads << data.force_update << "\n";
  for (const auto& c : data.constants) out << "constant " << c.name << "=" << c.value << "\n";
  for (const auto& f : data.features) out << "feature " << f.text << "|" << f.link << "\n";
  for (const auto& f : data.files) {
    out << "file " << f.name << "|" << f.location << "|" << f.version << "|" << f.hash << "|"
        << f.check << "|" << f.section << "|";
    for (const auto& a : f.actions) out << FileActionTypeName(a) << ",";
    out << "\n";
  }
  for (const auto& i : data.ini_items)
    out << "ini " << i.location << "|" << i.group << "|" << i.key << "|" << i.value << "\n";
  for (const auto& s : data.sections)
    out << "section " << s.name << "|" << s.title << "|" << s.version << "|" << s.parent << "\n";
  for (std::size_t e = 0; e < kEventNames.size(); ++e) {
    const CEventData& event = CEventTable::Instance().At(e);
    for (const auto& a : event.actions)
      out << "event " << kEventNames[e] << " " << EventActionTypeName(a) << "\n";
  }
  return out.str();
}

class UpdateFileLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRecords();
    CUpdaterLog::ResetInstance();
    CUpdaterLog::Instance().Open(folder_ / "log.txt", false);
  }
  void TearDown() override {
    CUpdaterLog::ResetInstance();
    ResetRecords();
  }
  static void ResetRecords() {
    CUpdateFileData::ResetInstance();
    CEventTable::ResetInstance();
  }

  // The lines written to the log so far.
  std::vector<std::string> LogLines() {
    CUpdaterLog::Instance().Close();
    std::string bytes = folder_.Read("log.txt");
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                            static_cast<unsigned char>(bytes[i + 1]) << 8));
    std::string text = Utf16ToUtf8(units);
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 2;
    }
    return lines;
  }

  TempFolder folder_;
};

TEST(TestEncryptor, MatchesTheStandardVectorAndTheProgramsDecryption) {
  // FIPS-197 appendix C.1.
  CAesEncryptor aes;
  ASSERT_TRUE(aes.SetKey(FromHex("000102030405060708090a0b0c0d0e0f")));
  EXPECT_EQ(aes.EncryptEcb(FromHex("00112233445566778899aabbccddeeff")),
            FromHex("69c4e0d86a7b0430d8cdb78070b4c55a"));
  CRijndael cipher;
  cipher.SetKey();
  std::string plain = "0041003C20AC000A0042";
  std::string encrypted = EncryptedUpdateFileOf(plain);
  ASSERT_EQ(encrypted.size(), 3u + 32u);
  EXPECT_EQ(EncryptedUpdateFileOf(plain, "short key"), "");
  std::string decrypted = cipher.DecryptEcb(std::string_view(encrypted).substr(3));
  EXPECT_EQ(decrypted, plain + std::string(12, '\0'));
}

// The same update file in every form gives the same records.
TEST_F(UpdateFileLoaderTest, EveryFormOfTheFileGivesTheSameRecords) {
  const std::string plain = Fixture();
  ASSERT_FALSE(plain.empty());
  ASSERT_TRUE(LoadUpdateFile(folder_.Write("plain.xml", plain)));
  const std::string expected = DescribeRecords();
  // The plain form itself was read in full.
  EXPECT_NE(expected.find("version=2.1.0.7\n"), std::string::npos) << expected;
  EXPECT_NE(expected.find("section docs|Dokumentation \xC3\xA9|1.4|core"), std::string::npos)
      << expected;
  EXPECT_NE(expected.find("\xE2\x82\xAC"), std::string::npos) << expected;  // the euro sign
  EXPECT_NE(expected.find("event ONCLOSE close"), std::string::npos) << expected;

  struct Case {
    const char* name;
    std::string bytes;
    UpdateFileForm form;
  };
  const std::vector<Case> cases = {
      {"utf16.xml", Utf16File(plain, true), UpdateFileForm::kUtf16},
      {"utf16be.xml", Utf16File(plain, true, true), UpdateFileForm::kUtf16},
      {"windows1252.xml", Utf8ToWindows1252(plain), UpdateFileForm::kNarrow},
      {"encrypted.xml", EncryptUpdateFile(plain), UpdateFileForm::kEncrypted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetRecords();
    const std::string path = folder_.Write(c.name, c.bytes);
    CXmlDocument document;
    EXPECT_EQ(ReadUpdateFileText(path, document).form, c.form);
    EXPECT_EQ(document.GetDocument(), plain);
    ResetRecords();
    EXPECT_TRUE(LoadUpdateFile(path));
    EXPECT_EQ(DescribeRecords(), expected);
  }
}

TEST_F(UpdateFileLoaderTest, SuccessWritesExactlyTwoLines) {
  ASSERT_TRUE(LoadUpdateFile(folder_.Write("updatefile.xml", Fixture())));
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"Start parsing updatefile.xml",
                                                  "updatefile.xml succesfully parsed"}));
}

TEST_F(UpdateFileLoaderTest, EncryptedTextEndsAtTheFirstZeroByte) {
  // 28 hex digits and four zero bytes: 32 bytes of ciphertext, seven characters.
  const std::u16string text = u"<A>\u20AC</A";
  const std::string hex = HexOfCodeUnits(text);
  ASSERT_EQ(hex.size(), 28u);
  std::string file = EncryptedUpdateFileOf(hex);
  ASSERT_EQ(file.size(), 3u + 32u);
  CXmlDocument document;
  UpdateFileText result = ReadUpdateFileText(folder_.Write("seven.xml", file), document);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(document.GetDocumentUtf16(), text);

  // A text that fills its blocks exactly needs no zero byte.
  const std::u16string full = u"<A>12345</A>";  // 12 units, 48 digits
  file = EncryptedUpdateFileOf(HexOfCodeUnits(full));
  ASSERT_EQ(file.size(), 3u + 48u);
  result = ReadUpdateFileText(folder_.Write("full.xml", file), document);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(document.GetDocumentUtf16(), full);
}

TEST_F(UpdateFileLoaderTest, PlainTextEndsAtTheFirstZeroCharacter) {
  CXmlDocument document;
  ReadUpdateFileText(folder_.Write("narrow.xml", std::string("<A/>\0<B/>", 9)), document);
  EXPECT_EQ(document.GetDocument(), "<A/>");
  ReadUpdateFileText(folder_.Write("wide.xml", Utf16File("<A/>", true) + std::string(2, '\0') +
                                                   Utf16File("<B/>", false)),
                     document);
  EXPECT_EQ(document.GetDocument(), "<A/>");
  ReadUpdateFileText(
      folder_.Write("widebe.xml", Utf16File("<A/>", true, true) + std::string(2, '\0') +
                                      Utf16File("<B/>", false, true)),
      document);
  EXPECT_EQ(document.GetDocument(), "<A/>");
}

// Every way a load can fail, with the lines it writes.
TEST_F(UpdateFileLoaderTest, FailuresEndAsAFailedLoadWithTheirLogLines) {
  const std::string kNoRoot = "UPDATEFILE PARSE ERROR: updateinfo node not found";
  const std::string kBlockSize = "UPDATEFILE READ ERROR: Data not multiple of Block Size";
  const std::string kBadHex =
      "UPDATEFILE READ ERROR: hex text holds a character that is not an upper-case hex digit";
  const std::string kPartialGroup =
      "UPDATEFILE READ ERROR: hex text is not a whole number of groups of four digits";
  const std::string plain = Fixture();
  std::string lower_case_hex = HexOfCodeUnits(plain);
  for (char& c : lower_case_hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

  struct Case {
    const char* label;
    std::string bytes;
    std::string error_line;
  };
  const std::vector<Case> cases = {
      {"missing file", "", kNoRoot},
      {"empty file", "", kNoRoot},
      {"shorter than the prefix", "en", kNoRoot},
      {"prefix only", "enc", kBlockSize},
      {"ciphertext of 15 bytes", "enc" + std::string(15, 'x'), kBlockSize},
      {"ciphertext of 17 bytes", EncryptedUpdateFileOf(HexOfCodeUnits(u"<A/>")) + "x", kBlockSize},
      {"plain text that starts with enc", "encoding=\"x\"<UPDATEINFO/>", kBlockSize},
      {"wrong key", EncryptedUpdateFileOf(HexOfCodeUnits(plain), "another_key_1234"), kBadHex},
      {"lower-case hex", EncryptedUpdateFileOf(lower_case_hex), kBadHex},
      {"incomplete hex group", EncryptedUpdateFileOf("003C0041003"), kPartialGroup},
      {"UTF-16 without byte-order mark", Utf16File(plain, false), kNoRoot},
      {"no GENERAL", "<UPDATEINFO><CONSTANTS/></UPDATEINFO>",
       "UPDATEFILE PARSE ERROR: general information node not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ResetRecords();
    CUpdaterLog::Instance().Open(folder_ / "log.txt", false);
    const std::string path = std::string(c.label) == "missing file"
                                 ? folder_ / "updatefile.xml"
                                 : folder_.Write("updatefile.xml", c.bytes);
    EXPECT_FALSE(LoadUpdateFile(path));
    EXPECT_EQ(LogLines(), (std::vector<std::string>{"Start parsing updatefile.xml", c.error_line,
                                                    "updatefile.xml NOT succesfully parsed"}));
    platform::RemoveFile(path);
  }
}

TEST_F(UpdateFileLoaderTest, AFileAboveTheBoundIsNotRead) {
  const std::string path = folder_ / "huge.xml";
  {
    std::ofstream file(path, std::ios::binary);
    file << "<UPDATEINFO>";
    file.seekp(static_cast<std::streamoff>(kMaxUpdateFileBytes));
    file << "x";
  }
  CXmlDocument document;
  UpdateFileText result = ReadUpdateFileText(path, document);
  EXPECT_EQ(result.form, UpdateFileForm::kTooLarge);
  EXPECT_FALSE(result.error.empty());
  EXPECT_FALSE(document.FindElement("UPDATEINFO"));
  EXPECT_FALSE(LoadUpdateFile(path));
  std::vector<std::string> lines = LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(StartsWith(lines[1], "UPDATEFILE READ ERROR: file is larger than"));
}

TEST_F(UpdateFileLoaderTest, APathWithBackslashesLogsTheLastComponent) {
  EXPECT_FALSE(LoadUpdateFile(folder_ / "sub\\dir\\update.xml"));
  EXPECT_EQ(LogLines().front(), "Start parsing update.xml");
}

}  // namespace
