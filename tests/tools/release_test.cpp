#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/process.h"
#include "tests/support/file_traits.h"
#include "tests/support/native_path.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_signing_keys.h"
#include "tools/release/release_builder.h"
#include "tools/release/release_options.h"
#include "tools/release/release_text.h"
#include "updater/core/language.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/aes_encryptor.h"
#include "updater/description/event_table.h"
#include "updater/description/md5.h"
#include "updater/description/minisign.h"
#include "updater/description/rijndael.h"
#include "updater/description/sha256.h"
#include "updater/description/update_file_data.h"
#include "updater/description/update_file_loader.h"
#include "updater/description/versions.h"

namespace {

constexpr char kBaseUrl[] = "https://updates.example.test/velmora/2.0";

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return bytes;
}

// Text rules ------------------------------------------------------------------

TEST(ReleaseText, DottedVersions) {
  const std::pair<std::string_view, bool> cases[] = {
      {"2", true},     {"2.5", true},        {"2.5.0.1", true}, {"123456789.0", true},
      {"", false},     {"2.5.0.1.7", false}, {"2..5", false},   {".2", false},
      {"2.", false},   {"2.5b", false},      {"v2.5", false},   {"1234567890.1", false},
      {"2.5 ", false}, {"-1.0", false},
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(IsDottedVersion(text), valid) << text;
}

TEST(ReleaseText, BaseUrls) {
  const std::pair<std::string_view, bool> cases[] = {
      {"https://updates.example.test/velmora", true},
      {"HTTP://host:8080/a/b/", true},
      {"http://host/%7Euser", true},
      {"ftp://host/files", false},
      {"updates.example.test/velmora", false},
      {"https://", false},
      {"https:///path", false},
      {"https://host/a b", false},
      {"https://host/a?x=1", false},
      {"https://host/a#top", false},
      {"https://host/a&b", false},
      {"https://host/<a>", false},
      {"https://host\\a", false},
      {"https://host/\xC3\xA4", false},
      {"https://host/%app%/files", false},
      {"https://%httpusername%@host/", false},
  };
  for (const auto& [url, valid] : cases) EXPECT_EQ(!BaseUrlProblem(url), valid) << url;
}

TEST(ReleaseText, RelativePaths) {
  const std::pair<std::string_view, bool> cases[] = {
      {"readme.txt", true},
      {"data/\xC3\x9Cn\xC3\xAF"
       "code file.txt",
       true},
      {"R&D <notes>.txt", true},
      {"100% done.txt", true},
      {"%APP%.txt", true},  // the reader's placeholders are lower case
      {"", false},
      {"a//b", false},
      {"../b", false},
      {"a/./b", false},
      {"a/..", false},
      {"a/. .", false},
      {"a\\b", false},
      {"a\nb", false},
      {"bad\xFF.txt", false},
      {"%temp%/x", false},
      {"x%app%", false},
      {"velmora_amp%x", false},  // "%app%velmora_amp%..." would lose its placeholder
      {"a%velmora_lt%b", false},
  };
  for (const auto& [path, valid] : cases) EXPECT_EQ(!RelativePathProblem(path), valid) << path;
  EXPECT_TRUE(RelativePathProblem(std::string(kMaxRelativePathBytes + 1, 'a')));
}

TEST(ReleaseText, EncodingsForTheUpdateFile) {
  EXPECT_EQ(PercentEncodePath("data/\xC3\x9Cn code~_-.txt"), "data/%C3%9Cn%20code~_-.txt");
  EXPECT_EQ(PercentEncodePath("R&D%<x>+?#.txt"), "R%26D%25%3Cx%3E%2B%3F%23.txt");

  bool used = false;
  EXPECT_EQ(ElementText("plain/name.txt", &used), "plain/name.txt");
  EXPECT_FALSE(used);
  std::string text = ElementText("R&D <x>.txt", &used);
  EXPECT_TRUE(used);
  EXPECT_EQ(text.find_first_of("&<>"), std::string::npos);
  EXPECT_EQ(ApplyTextConstants(text), "R&D <x>.txt");

  EXPECT_EQ(TemporaryDownloadName(1, "bin/app.exe"), "0001-app.exe");
  EXPECT_EQ(TemporaryDownloadName(12, "lib/\xC3\xA4 x.dll"), "0012-___x.dll");
  EXPECT_EQ(TemporaryDownloadName(3, "bin/tool"), "0003-tool.download");
  EXPECT_EQ(TemporaryDownloadName(1024, std::string(100, 'a') + ".txt"),
            "1024-" + std::string(64, 'a') + ".download");
}

// Encryption ------------------------------------------------------------------

TEST(ReleaseEncryptor, MatchesTheStandardAndTheUpdatersDecryption) {
  // FIPS-197 appendix C.1.
  CAesEncryptor aes;
  EXPECT_FALSE(aes.SetKey("short"));
  EXPECT_FALSE(aes.initialised());
  ASSERT_TRUE(aes.SetKey(FromHex("000102030405060708090a0b0c0d0e0f")));
  EXPECT_EQ(aes.EncryptEcb(FromHex("00112233445566778899aabbccddeeff")),
            FromHex("69c4e0d86a7b0430d8cdb78070b4c55a"));

  const std::string document = "<A>\xE2\x82\xAC \xF0\x9F\x98\x80</A>";  // euro sign, emoji
  EXPECT_EQ(HexOfCodeUnits("A\xE2\x82\xAC"), "004120AC");
  const std::string encrypted = EncryptUpdateFile(document);
  ASSERT_EQ(encrypted.substr(0, 3), "enc");
  ASSERT_EQ((encrypted.size() - 3) % 16, 0u);
  CRijndael cipher;
  cipher.SetKey();
  std::string plain = cipher.DecryptEcb(std::string_view(encrypted).substr(3));
  EXPECT_EQ(DecodeHexCodeUnits(plain), Utf8ToUtf16(document));
}

// Command line ----------------------------------------------------------------

std::vector<std::string> RequiredArguments() {
  return {"--previous",        "/r/1.0",   "--next", "/r/2.0", "--version", "2.0.0.1", "--base-url",
          "https://h.test/u/", "--output", "/r/out"};
}

TEST(ReleaseOptionsTest, ReadsEveryOption) {
  std::vector<std::string> arguments = RequiredArguments();
  for (std::string extra :
       {"--sections=single", "--application-name", "My App", "--close-application", "restart",
        "--enable-rollback", "--encrypt", "--check", "date", "--sign", "/k/key"})
    arguments.push_back(extra);
  ParsedArguments parsed = ParseReleaseArguments(arguments);
  ASSERT_TRUE(parsed.options) << parsed.error;
  const ReleaseOptions& o = *parsed.options;
  EXPECT_EQ(o.previous, "/r/1.0");
  EXPECT_EQ(o.next, "/r/2.0");
  EXPECT_EQ(o.version, "2.0.0.1");
  EXPECT_EQ(o.base_url, "https://h.test/u");  // trailing separator dropped
  EXPECT_EQ(o.output, "/r/out");
  EXPECT_EQ(o.sections, SectionLayout::kSingle);
  EXPECT_EQ(o.application_name, "My App");
  EXPECT_EQ(o.close_application, "restart");
  EXPECT_TRUE(o.enable_rollback);
  EXPECT_TRUE(o.encrypt);
  EXPECT_EQ(o.check, FileCheck::kDate);
  EXPECT_EQ(o.sign_key_file, "/k/key");

  parsed = ParseReleaseArguments(RequiredArguments());
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->sections, SectionLayout::kTopLevel);
  EXPECT_EQ(parsed.options->application_name, "Application");
  EXPECT_EQ(parsed.options->close_application, "false");
  EXPECT_FALSE(parsed.options->enable_rollback);
  EXPECT_FALSE(parsed.options->encrypt);
  EXPECT_EQ(parsed.options->check, FileCheck::kHash);
  EXPECT_EQ(parsed.options->sign_key_file, "");

  for (std::string help : {"--help", "-h"}) {
    EXPECT_FALSE(ParseReleaseArguments({help}).options);
    EXPECT_TRUE(ParseReleaseArguments({help}).help);
  }
  EXPECT_NE(ReleaseUsage().find("--base-url URL"), std::string::npos);
}

// The required arguments with one option's value replaced ("" removes the
// option); an option that is not there is appended.
std::vector<std::string> With(const std::string& name, const std::string& value) {
  std::vector<std::string> arguments = RequiredArguments();
  auto it = std::find(arguments.begin(), arguments.end(), name);
  if (it == arguments.end()) {
    arguments.push_back(name);
    arguments.push_back(value);
  } else if (value.empty()) {
    arguments.erase(it, it + 2);
  } else {
    *(it + 1) = value;
  }
  return arguments;
}

std::vector<std::string> Plus(std::initializer_list<std::string> words) {
  std::vector<std::string> arguments = RequiredArguments();
  arguments.insert(arguments.end(), words);
  return arguments;
}

TEST(ReleaseOptionsTest, RefusesWrongCommandLines) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {With("--previous", ""), "--previous is required"},
      {With("--output", ""), "--output is required"},
      {With("--version", "2.0 beta"), "not a dotted version"},
      {With("--base-url", "ftp://h.test/u"), "http:// or https://"},
      {With("--base-url", "https://h.test/u?x=1"), "query"},
      {With("--sections", "nested"), "toplevel or single"},
      {With("--close-application", "restartsystem"), "true, false, restart or user"},
      {With("--check", "datetime"), "hash, version or date"},
      {With("--application-name", "%temp%"), "would replace"},
      {Plus({"--unknown", "x"}), "unknown argument \"--unknown\""},
      {Plus({"--version", "2.0"}), "given twice"},
      {Plus({"--encrypt=yes"}), "takes no value"},
      {Plus({"--check"}), "--check needs a value"},
      {Plus({"--sign"}), "--sign needs a value"},
      {Plus({"--sign="}), "--sign needs a key file"},
  };
  for (const auto& [arguments, error_part] : cases) {
    ParsedArguments parsed = ParseReleaseArguments(arguments);
    EXPECT_FALSE(parsed.options) << error_part;
    EXPECT_FALSE(parsed.help);
    EXPECT_NE(parsed.error.find(error_part), std::string::npos)
        << parsed.error << " / expected " << error_part;
  }
}

// Releases --------------------------------------------------------------------

// Public, so that the cases of a table can prepare the fixture.
class ReleaseBuilderTest : public ::testing::Test {
 public:
  void SetUp() override {
    ResetAll();
    base_ = temp_.path();
    ASSERT_TRUE(platform::CreateFolders(temp_ / "tmp").ok());
    SystemFolders system;
    system.executable = temp_ / "bin/Velmora Updater";
    system.temp = temp_ / "tmp";
    ASSERT_TRUE(CUpdaterPaths::Instance().Init(system));
    SettingsValues& settings = CUpdaterSettings::Instance().MutableValues();
    settings.name = "Velmora";
    settings.version = "1.0.0.0";
    settings.location = temp_ / "app/velmora";
    ASSERT_TRUE(CUpdaterPaths::Instance().InitUpdaterTemp());
    app_ = CUpdaterPaths::Instance().Entry(kPathApp);
    updater_temp_ = CUpdaterPaths::Instance().Entry(kPathUpdaterTemp);
    ASSERT_EQ(app_, Native(base_ + "/app/"));
    CUpdaterLog::Instance().Open(temp_ / "log.txt", false);

    previous_ = temp_ / "release/1.0";
    next_ = temp_ / "release/2.0";
    // Unchanged, changed, removed and new files, nested folders, two files of
    // the same name in different folders, names with blanks, non-ASCII letters
    // and XML characters, an empty file.
    WritePrevious("readme.txt", "read me\n");
    WriteNext("readme.txt", "read me\n");
    WritePrevious("bin/velmora", "program 1.0");
    WriteNext("bin/velmora", "program 2.0");
    WritePrevious("bin/old.dll", "old library");
    WritePrevious("docs/guide/intro.html", "<p>intro</p>");
    WriteNext("docs/guide/intro.html", "<p>intro</p>");
    WritePrevious("docs/guide/gone.html", "gone");
    WriteNext("plugins/a/config.ini", "[a]\n");
    WriteNext("plugins/b/config.ini", "[b]\n");
    WriteNext(
        "data/\xC3\x9C"
        "bersicht Datei.txt",
        "\xC3\xBC");
    WriteNext(notes_, "notes");
    WriteNext("empty.dat", "");
  }
  void TearDown() override { ResetAll(); }

  // Starts over with an empty folder and the two releases of SetUp.
  void Fresh() {
    ResetAll();
    platform::RemoveTree(temp_.path());
    ASSERT_TRUE(platform::CreateFolders(temp_.path()).ok());
    SetUp();
  }

  static void ResetAll() {
    CUpdaterLog::ResetInstance();
    CUpdateFileData::ResetInstance();
    CEventTable::ResetInstance();
    CLanguage::ResetInstance();
    CUpdaterPaths::ResetInstance();
    CUpdaterSettings::ResetInstance();
  }

  void WritePrevious(const std::string& relative, const std::string& bytes) {
    Write(previous_ + "/" + relative, bytes);
  }
  void WriteNext(const std::string& relative, const std::string& bytes) {
    Write(next_ + "/" + relative, bytes);
  }
  // Without the flush to disk, which would make the tables slow. The
  // platform's writer: UTF-8 names are the same name on every platform.
  static void Write(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(platform::CreateFolders(path.substr(0, path.rfind('/'))).ok());
    ASSERT_TRUE(platform::WriteFileAtomic(path, bytes, platform::FilePermissions::kNormal,
                                          platform::ExistingPermissions::kKeep,
                                          platform::Durability::kThisRun)
                    .ok())
        << path;
  }

  ReleaseOptions Options(const std::string& output_name = "out") const {
    ReleaseOptions options;
    options.previous = previous_;
    options.next = next_;
    options.version = "2.0.0.1";
    options.base_url = kBaseUrl;
    options.output = base_ + "/" + output_name;
    options.application_name = "Velmora";
    return options;
  }

  // Loads the written update file into fresh records.
  static bool Load(const std::string& path) {
    CUpdateFileData::ResetInstance();
    CEventTable::ResetInstance();
    return LoadUpdateFile(path);
  }

  static const CFileData* FindFile(const std::string& name) {
    for (const CFileData& file : CUpdateFileData::Instance().files)
      if (file.name == name) return &file;
    return nullptr;
  }

  // Everything the loaded records hold, as one text to compare.
  static std::string DescribeRecords() {
    const CUpdateFileData& data = CUpdateFileData::Instance();
    std::ostringstream out;
    out << data.version << "|" << static_cast<int>(data.close_application) << "|"
        << data.enable_rollback << data.self_update << data.check_separately << "\n";
    for (const auto& s : data.sections)
      out << "section " << s.name << "|" << s.title << "|" << s.version << "|" << s.parent << "\n";
    for (const auto& f : data.files) {
      out << "file " << f.name << "|" << f.location << "|" << f.version << "|" << f.date << "|"
          << f.hash << "|" << f.check << "|" << f.section << "\n";
      for (const auto& a : f.actions) {
        out << "  " << FileActionTypeName(a);
        if (auto* d = std::get_if<CFileActionDownload>(&a)) {
          for (const auto& l : d->locations) out << " " << l;
          out << " -> " << d->destination << " " << d->temporary;
        } else if (auto* c = std::get_if<CFileActionCopy>(&a)) {
          out << " " << c->old_location << " -> " << c->new_location << " " << c->overwrite;
        } else if (auto* r = std::get_if<CFileActionDelete>(&a)) {
          out << " " << r->location << " " << r->ask_user;
        }
        out << "\n";
      }
    }
    return out.str();
  }

  // Checks the record of a published file field by field.
  void ExpectPublished(const std::string& relative, const std::string& encoded,
                       const std::string& section, std::set<std::string>& destinations) {
    SCOPED_TRACE(relative);
    const CFileData* file = FindFile(relative);
    ASSERT_NE(file, nullptr);
    const std::string source = next_ + "/" + relative;
    auto digest = Md5OfFile(source);
    ASSERT_TRUE(digest);
    EXPECT_EQ(file->location, Native(app_ + relative));
    EXPECT_EQ(file->hash, digest->size == 0 ? "" : digest->hex);
    EXPECT_EQ(file->sha256, Sha256OfFile(source));
    EXPECT_EQ(file->check, "hash");
    EXPECT_EQ(file->version, "");
    EXPECT_EQ(file->date, "");
    EXPECT_EQ(file->section, section);
    ASSERT_EQ(file->actions.size(), 2u);
    auto* download = std::get_if<CFileActionDownload>(&file->actions[0]);
    auto* copy = std::get_if<CFileActionCopy>(&file->actions[1]);
    ASSERT_NE(download, nullptr);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(download->locations.size(), 1u);
    EXPECT_EQ(download->locations[0], std::string(kBaseUrl) + "/files/" + encoded);
    EXPECT_EQ(download->destination.rfind(updater_temp_, 0), 0u) << download->destination;
    EXPECT_EQ(platform::FolderOf(download->destination) + platform::PathSeparator(), updater_temp_);
    EXPECT_TRUE(destinations.insert(download->destination).second) << "shared destination";
    EXPECT_EQ(copy->old_location, download->destination);
    EXPECT_EQ(copy->new_location, Native(app_ + relative));
    EXPECT_TRUE(copy->overwrite);
    EXPECT_EQ(download->sha256, file->sha256);
    // The published copy holds the next release's bytes.
    EXPECT_EQ(platform::ReadFile(base_ + "/out/files/" + relative, 1 << 20),
              platform::ReadFile(source, 1 << 20));
  }

  void ExpectRemoved(const std::string& relative, const std::string& section) {
    SCOPED_TRACE(relative);
    const CFileData* file = FindFile(relative);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->location, Native(app_ + relative));
    EXPECT_EQ(file->hash, "");
    EXPECT_EQ(file->check, "hash");
    EXPECT_EQ(file->section, section);
    ASSERT_EQ(file->actions.size(), 1u);
    auto* remove = std::get_if<CFileActionDelete>(&file->actions[0]);
    ASSERT_NE(remove, nullptr);
    EXPECT_EQ(remove->location, Native(app_ + relative));
    EXPECT_FALSE(remove->ask_user);
    EXPECT_FALSE(platform::PathExists(base_ + "/out/files/" + relative));
  }

  TempFolder temp_;
  std::string base_;
  std::string app_;
  std::string updater_temp_;
  std::string previous_;
  std::string next_;
  // A name with the XML characters the platform's file names may hold.
  const bool any_name_ = test_support::FileNamesAreAnyBytes();
  const std::string notes_ = any_name_ ? "R&D <notes>.txt" : "R&D 'notes'.txt";
  const std::string notes_encoded_ =
      any_name_ ? "R%26D%20%3Cnotes%3E.txt" : "R%26D%20%27notes%27.txt";
};

TEST_F(ReleaseBuilderTest, WritesAnUpdateFileTheUpdaterReadsBack) {
  ReleaseReport report = BuildRelease(Options());
  ASSERT_EQ(report.exit_code, kReleaseExitOk) << (report.errors.empty() ? "" : report.errors[0]);
  EXPECT_EQ(report.new_files, 5u);
  EXPECT_EQ(report.changed_files, 1u);
  EXPECT_EQ(report.removed_files, 2u);
  EXPECT_EQ(report.unchanged_files, 2u);

  const std::string update_file = base_ + "/out/updatefile.xml";
  auto text = platform::ReadFile(update_file, 1 << 20);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->rfind("<?xml", 0), 0u);
  ASSERT_TRUE(Load(update_file));

  const CUpdateFileData& data = CUpdateFileData::Instance();
  EXPECT_EQ(data.version, "2.0.0.1");
  EXPECT_EQ(data.close_application, CloseApplicationMode::DoNotClose);
  EXPECT_FALSE(data.enable_rollback);
  EXPECT_FALSE(data.self_update);
  EXPECT_FALSE(data.check_separately);
  EXPECT_EQ(data.constants.size(), 3u);  // "&", "<" and ">" of one name

  std::vector<std::string> sections;
  for (const CSectionData& section : data.sections) {
    sections.push_back(section.name);
    EXPECT_EQ(section.title, section.name);
    EXPECT_EQ(section.version, "2.0.0.1");
    EXPECT_EQ(section.parent, "");
    EXPECT_TRUE(section.check);
  }
  EXPECT_EQ(sections, (std::vector<std::string>{"Velmora", "bin", "data", "docs", "plugins"}));

  ASSERT_EQ(data.files.size(), 8u);
  // Deletions come first.
  EXPECT_EQ(FileActionTypeName(data.files[0].actions.at(0)), "delete");
  EXPECT_EQ(FileActionTypeName(data.files[1].actions.at(0)), "delete");
  ExpectRemoved("bin/old.dll", "bin");
  ExpectRemoved("docs/guide/gone.html", "docs");
  std::set<std::string> destinations;
  ExpectPublished("bin/velmora", "bin/velmora", "bin", destinations);
  ExpectPublished("plugins/a/config.ini", "plugins/a/config.ini", "plugins", destinations);
  ExpectPublished("plugins/b/config.ini", "plugins/b/config.ini", "plugins", destinations);
  ExpectPublished(
      "data/\xC3\x9C"
      "bersicht Datei.txt",
      "data/%C3%9Cbersicht%20Datei.txt", "data", destinations);
  ExpectPublished(notes_, notes_encoded_, "Velmora", destinations);
  ExpectPublished("empty.dat", "empty.dat", "Velmora", destinations);
  EXPECT_EQ(FindFile("readme.txt"), nullptr);
  EXPECT_EQ(FindFile("docs/guide/intro.html"), nullptr);
  EXPECT_FALSE(platform::PathExists(base_ + "/out/files/readme.txt"));

  // The encrypted form loads to the same records.
  const std::string plain_records = DescribeRecords();
  ReleaseOptions encrypted = Options("encrypted");
  encrypted.encrypt = true;
  ASSERT_EQ(BuildRelease(encrypted).exit_code, kReleaseExitOk);
  auto bytes = platform::ReadFile(base_ + "/encrypted/updatefile.xml", 1 << 20);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->substr(0, 3), "enc");
  EXPECT_EQ(bytes->find("UPDATEINFO"), std::string::npos);
  ASSERT_TRUE(Load(base_ + "/encrypted/updatefile.xml"));
  EXPECT_EQ(DescribeRecords(), plain_records);
  EXPECT_EQ(platform::ReadFile(base_ + "/encrypted/files/bin/velmora", 1 << 20),
            std::optional<std::string>("program 2.0"));
}

TEST_F(ReleaseBuilderTest, SignsThePublishedUpdateFileInEveryForm) {
  const std::string key_file = base_ + "/key";
  Write(key_file, kTestSecretKeyA);
  const MinisignPublicKey key = *ParseMinisignPublicKey(kTestPublicKeyA).value;
  for (const bool encrypt : {false, true}) {
    SCOPED_TRACE(encrypt);
    ReleaseOptions options = Options(encrypt ? "encrypted" : "plain");
    options.encrypt = encrypt;
    options.sign_key_file = key_file;
    ReleaseReport report = BuildRelease(options);
    ASSERT_EQ(report.exit_code, kReleaseExitOk) << (report.errors.empty() ? "" : report.errors[0]);
    const std::string update_file = options.output + "/updatefile.xml";
    const std::string bytes = platform::ReadFile(update_file, 1 << 20).value_or("");
    const MinisignParsed<MinisignSignature> signature =
        ParseMinisignSignature(platform::ReadFile(update_file + ".minisig", 1 << 20).value_or(""));
    ASSERT_TRUE(signature.value) << signature.error;
    EXPECT_EQ(VerifyMinisign(key, *signature.value, bytes), "");
    EXPECT_TRUE(signature.value->prehashed);
    EXPECT_TRUE(MinisignTimestamp(signature.value->trusted_comment));
    EXPECT_NE(signature.value->trusted_comment.find("\tfile:updatefile.xml"), std::string::npos);
  }
  // Without --sign no signature is written.
  ASSERT_EQ(BuildRelease(Options("unsigned")).exit_code, kReleaseExitOk);
  EXPECT_FALSE(platform::PathExists(base_ + "/unsigned/updatefile.xml.minisig"));
}

TEST_F(ReleaseBuilderTest, AKeyThatCannotSignWritesNothing) {
  const std::string encrypted_key =
      "untrusted comment: minisign encrypted secret key\n"
      "RWRTY0IyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAuxAJL7x5yxBvGclxuxNv"
      "g0Aj"
      "lWj5fouL+"
      "CW7qSzfH3gj9666aIOj8ro2UeEc8EtCzxzLVxw72YcuJ5hrAjRJG8jEUsrGKiMhAAAAAAAAAAAAAAAAAAAAAAAA"
      "AAAAAAAAAAAAAAAAAAA=\n";
  Write(base_ + "/encrypted.key", encrypted_key);
  Write(base_ + "/public.key", std::string("untrusted comment: x\n") + kTestPublicKeyA + "\n");
  for (const std::string& key :
       {base_ + "/missing.key", base_ + "/encrypted.key", base_ + "/public.key"}) {
    SCOPED_TRACE(key);
    ReleaseOptions options = Options();
    options.sign_key_file = key;
    ReleaseReport report = BuildRelease(options);
    EXPECT_EQ(report.exit_code, kReleaseExitInput);
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].rfind("--sign \"" + key + "\"", 0), 0u) << report.errors[0];
    EXPECT_FALSE(platform::PathExists(base_ + "/out/updatefile.xml"));
  }
}

TEST_F(ReleaseBuilderTest, GeneralChoicesSectionsAndFileChecks) {
  ReleaseOptions options = Options();
  options.sections = SectionLayout::kSingle;
  options.close_application = "restart";
  options.enable_rollback = true;
  options.check = FileCheck::kDate;
  ReleaseReport report = BuildRelease(options);
  ASSERT_EQ(report.exit_code, kReleaseExitOk);
  ASSERT_TRUE(Load(base_ + "/out/updatefile.xml"));
  const CUpdateFileData& data = CUpdateFileData::Instance();
  EXPECT_EQ(data.close_application, CloseApplicationMode::Restart);
  EXPECT_TRUE(data.enable_rollback);
  ASSERT_EQ(data.sections.size(), 1u);
  EXPECT_EQ(data.sections[0].name, "Velmora");
  for (const CFileData& file : data.files) {
    SCOPED_TRACE(file.name);
    EXPECT_EQ(file.section, "Velmora");
    if (FileActionTypeName(file.actions.at(0)) == "delete") continue;
    EXPECT_EQ(file.check, "date");
    EXPECT_EQ(file.date, GetFileDate(next_ + "/" + file.name));
  }

  // Files without a version resource fall back to the hash check, with a note.
  const std::pair<std::string, CloseApplicationMode> modes[] = {
      {"true", CloseApplicationMode::Close},
      {"false", CloseApplicationMode::DoNotClose},
      {"user", CloseApplicationMode::User},
  };
  int run = 0;
  for (const auto& [mode, expected] : modes) {
    ReleaseOptions more = Options("out" + std::to_string(++run));
    more.close_application = mode;
    more.check = FileCheck::kVersion;
    ReleaseReport versioned = BuildRelease(more);
    ASSERT_EQ(versioned.exit_code, kReleaseExitOk);
    EXPECT_NE(std::find(versioned.notes.begin(), versioned.notes.end(),
                        "\"bin/velmora\" has no file version; it is checked by hash"),
              versioned.notes.end());
    ASSERT_TRUE(Load(more.output + "/updatefile.xml"));
    EXPECT_EQ(CUpdateFileData::Instance().close_application, expected) << mode;
    EXPECT_EQ(FindFile("bin/velmora")->check, "hash");
  }
}

TEST_F(ReleaseBuilderTest, IdenticalReleasesGiveAnUpdateFileWithoutFiles) {
  ReleaseOptions options = Options();
  options.previous = next_;
  ReleaseReport report = BuildRelease(options);
  ASSERT_EQ(report.exit_code, kReleaseExitOk);
  EXPECT_EQ(report.unchanged_files, 8u);
  ASSERT_TRUE(Load(base_ + "/out/updatefile.xml"));
  EXPECT_TRUE(CUpdateFileData::Instance().files.empty());
  EXPECT_TRUE(CUpdateFileData::Instance().sections.empty());
  EXPECT_TRUE(CUpdateFileData::Instance().constants.empty());
}

TEST_F(ReleaseBuilderTest, RefusedInputsWriteNothing) {
  namespace fs = std::filesystem;
  struct Case {
    std::string name;
    std::function<void(ReleaseBuilderTest&, ReleaseOptions&)> prepare;
    int exit_code;
    std::string error_part;
    // What the platform's files must have for the case to exist; none: every platform.
    bool (*possible)() = nullptr;
  };
  const std::vector<Case> cases = {
      {"missing previous folder",
       [](ReleaseBuilderTest&, ReleaseOptions& o) { o.previous += "-missing"; }, kReleaseExitInput,
       "is not an existing folder"},
      {"next folder is a link",
       [](ReleaseBuilderTest& t, ReleaseOptions& o) {
         fs::create_symlink(t.next_, t.base_ + "/linked");
         o.next = t.base_ + "/linked";
       },
       kReleaseExitInput, "is a symbolic link", test_support::SymbolicLinksAvailable},
      {"link inside the next release",
       [](ReleaseBuilderTest& t, ReleaseOptions&) {
         fs::create_symlink("velmora", t.next_ + "/bin/passwd");
       },
       kReleaseExitInput, "next \"bin/passwd\" is a symbolic link",
       test_support::SymbolicLinksAvailable},
      {"output not empty",
       [](ReleaseBuilderTest&, ReleaseOptions& o) { Write(o.output + "/stale.txt", "x"); },
       kReleaseExitInput, "is not an empty folder"},
      {"output inside the next release",
       [](ReleaseBuilderTest& t, ReleaseOptions& o) { o.output = t.next_ + "/out"; },
       kReleaseExitInput, "must not contain each other"},
      {"next release inside the output",
       [](ReleaseBuilderTest& t, ReleaseOptions& o) { o.output = t.base_ + "/release"; },
       kReleaseExitInput, "is not an empty folder"},
      {"backslash in a name",
       [](ReleaseBuilderTest& t, ReleaseOptions&) { t.WriteNext("bin/a\\b.txt", "x"); },
       kReleaseExitInput, "holds a backslash", test_support::FileNamesAreAnyBytes},
      {"placeholder in a name",
       [](ReleaseBuilderTest& t, ReleaseOptions&) { t.WriteNext("bin/%temp%.txt", "x"); },
       kReleaseExitInput, "would replace \"%temp%\""},
      {"name that is not UTF-8",
       [](ReleaseBuilderTest& t, ReleaseOptions&) { t.WritePrevious("bin/\xFF.txt", "x"); },
       kReleaseExitInput, "not UTF-8", test_support::FileNamesAreAnyBytes},
      {"file where a folder was",
       [](ReleaseBuilderTest& t, ReleaseOptions&) {
         platform::RemoveTree(t.next_ + "/docs");
         t.WriteNext("docs", "now a file");
       },
       kReleaseExitInput, "is a file where the previous release has a folder"},
      {"more files than an update file holds",
       [](ReleaseBuilderTest& t, ReleaseOptions&) {
         for (int i = 0; i < 1020; ++i) t.WriteNext("many/" + std::to_string(i), "x");
       },
       kReleaseExitInput, "one update file holds at most 1024"},
  };
  for (const Case& c : cases) {
    if (c.possible != nullptr && !c.possible()) continue;  // no such file here
    SCOPED_TRACE(c.name);
    Fresh();
    ReleaseOptions options = Options("refused");
    c.prepare(*this, options);
    ReleaseReport report = BuildRelease(options);
    EXPECT_EQ(report.exit_code, c.exit_code);
    ASSERT_FALSE(report.errors.empty());
    bool found = false;
    for (const std::string& line : report.errors)
      found = found || line.find(c.error_part) != std::string::npos;
    EXPECT_TRUE(found) << report.errors[0];
    EXPECT_FALSE(platform::PathExists(options.output + "/updatefile.xml"));
    EXPECT_FALSE(platform::PathExists(options.output + "/files"));
  }
}

TEST_F(ReleaseBuilderTest, AFolderThatCannotBeCreatedFailsWithoutAnUpdateFile) {
  // The output's parent is a file, so nothing can be written there.
  Write(base_ + "/blocker", "x");
  ReleaseOptions options = Options("blocker/out");
  ReleaseReport report = BuildRelease(options);
  EXPECT_EQ(report.exit_code, kReleaseExitOutput);
  ASSERT_FALSE(report.errors.empty());
  EXPECT_NE(report.errors[0].find("cannot create"), std::string::npos) << report.errors[0];
}

// The program -------------------------------------------------------------------

TEST(ReleaseProgram, HelpAndWrongCommandLineExitCodes) {
  const std::pair<std::vector<std::string>, int> runs[] = {
      {{"--help"}, kReleaseExitOk},
      {{}, kReleaseExitUsage},
      {{"--version", "x"}, kReleaseExitUsage},
  };
  for (const auto& [arguments, expected] : runs) {
    platform::StartResult started = platform::StartProgram(VELMORA_RELEASE_PROGRAM, arguments, "");
    ASSERT_TRUE(started.status.ok()) << started.status.message();
    EXPECT_EQ(platform::WaitForProcess(started.pid, 10000), std::optional<int>(expected));
  }
}

}  // namespace
