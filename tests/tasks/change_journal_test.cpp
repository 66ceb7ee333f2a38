#include "updater/tasks/rollback/change_journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/registry.h"
#include "tests/support/file_traits.h"
#include "tests/support/log_capture.h"
#include "tests/support/native_path.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "updater/core/ini_file.h"

using platform::RegistryRoot;
using platform::RegistryValue;

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr std::uint64_t kMaxRead = 1 << 24;

// The change as the record of its kind; fails the test when it is another.
template <typename T>
const T& As(const ChangeRecord& change) {
  static const T kNone{};
  const T* record = std::get_if<T>(&change);
  if (!record) {
    ADD_FAILURE() << "the change is " << DescribeChange(change);
    return kNone;
  }
  return *record;
}

// The bytes of a literal, NULs included.
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}

class ChangeJournalTest : public ::testing::Test {
 protected:
  std::string Read(const std::string& path) const {
    return platform::ReadFile(path, kMaxRead).value_or("<missing>");
  }
  // The current user's store file; "" where the store is not made of files.
  std::string StoreFile() const { return registry_.StoreFile(kUser); }
  // The keys and values the registry tests touch, read through the interface.
  std::string Contents() {
    std::string text;
    for (const char* key : {"Software", "Software\\Vendor", "Software\\Vendor\\App",
                            "Software\\Vendor\\App\\Sub", "Software\\Vendor\\App\\Sub\\Deeper"}) {
      const std::optional<platform::RegistryKeyInfo> info = registry_.QueryKey(kUser, key).info;
      text += std::string(key) + ": ";
      text += info ? std::to_string(info->subkeys) + " keys, " + std::to_string(info->values) +
                         " values\n"
                   : "missing\n";
      for (const char* name : {"Path", "Count", "Other", "New", ""}) {
        if (auto value = registry_.QueryValue(kUser, key, name).value)
          text += "  \"" + std::string(name) + "\" " + platform::RegistryValueToText(*value) + "\n";
      }
    }
    return text;
  }

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_ / "config"};
  LogCapture log_;
  TestRegistry registry_{folder_ / "config/velmora/registry"};
  CChangeJournal journal_{registry_, folder_ / "temp/rollback"};
};

}  // namespace

TEST_F(ChangeJournalTest, ReplacedFilesComeBackWithTheirBytesAndMode) {
  const std::string binary = Bytes(
      "\x7f"
      "ELF\0\r\n\xff data");
  std::string path = folder_.Write("app/bin/tool", binary);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);

  ASSERT_TRUE(journal_.RecordFileReplace(path));
  auto changes = journal_.Changes();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(KindOf(changes[0]), ChangeKind::kFileReplaced);
  EXPECT_EQ(As<FileReplacedChange>(changes[0]).path, path);
  EXPECT_EQ(As<FileReplacedChange>(changes[0]).backup, folder_ / "temp/rollback/00001_tool");
  EXPECT_EQ(Read(As<FileReplacedChange>(changes[0]).backup), binary);

  // A second record of the same file keeps the first copy, the original.
  ASSERT_TRUE(platform::WriteFileAtomic(path, "new version"));
  ASSERT_TRUE(journal_.RecordFileReplace(path));
  EXPECT_EQ(journal_.Size(), 1u);

  ASSERT_TRUE(platform::RemoveFile(path));  // a delete action took it away
  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_EQ(Read(path), binary);
  if (test_support::FilesHaveModeBits()) {
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
  }
  EXPECT_EQ(journal_.Size(), 0u);
}

TEST_F(ChangeJournalTest, CreatedFilesAndFoldersAreRemovedInReverseOrder) {
  std::string folder = folder_ / "app/plugins/extra";
  std::string file = folder + "/plugin.bin";
  ASSERT_TRUE(platform::CreateFolders(folder_ / "app"));

  ASSERT_TRUE(journal_.RecordFolderCreate(folder));
  ASSERT_TRUE(platform::CreateFolders(folder));
  ASSERT_TRUE(journal_.RecordFileCreate(file));
  ASSERT_TRUE(platform::WriteFileAtomic(file, "plugin"));
  // A file said to be replaced that does not exist yet is created.
  ASSERT_TRUE(journal_.RecordFileReplace(folder_ / "app/new.txt"));
  ASSERT_TRUE(platform::WriteFileAtomic(folder_ / "app/new.txt", "x"));

  auto changes = journal_.Changes();
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_EQ(KindOf(changes[0]), ChangeKind::kFolderCreated);
  EXPECT_EQ(As<FolderCreatedChange>(changes[0]).path,
            folder_ / "app/plugins");  // the outermost first
  EXPECT_EQ(As<FolderCreatedChange>(changes[1]).path, folder);
  EXPECT_EQ(KindOf(changes[2]), ChangeKind::kFileCreated);
  EXPECT_EQ(KindOf(changes[3]), ChangeKind::kFileCreated);

  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_FALSE(platform::PathExists(folder_ / "app/plugins"));
  EXPECT_FALSE(platform::PathExists(folder_ / "app/new.txt"));
  EXPECT_TRUE(platform::FolderExists(folder_ / "app"));
}

TEST_F(ChangeJournalTest, WhatCannotBeUndoneIsReportedAndTheRestIsUndone) {
  std::string folder = folder_ / "made";
  ASSERT_TRUE(journal_.RecordFolderCreate(folder));
  ASSERT_TRUE(platform::CreateFolders(folder));
  ASSERT_TRUE(journal_.RecordRegistration(folder_ / "component.so"));
  ASSERT_TRUE(journal_.RecordFileCreate(folder + "/mine.txt"));
  folder_.Write("made/mine.txt", "mine");
  folder_.Write("made/theirs.txt", "someone else's");  // not recorded

  auto failures = journal_.Rollback();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(KindOf(failures[0].change), ChangeKind::kRegistration);  // no way to unregister
  EXPECT_EQ(KindOf(failures[1].change), ChangeKind::kFolderCreated);
  EXPECT_EQ(failures[1].message, "the folder is not empty; it is kept");
  EXPECT_FALSE(platform::PathExists(folder + "/mine.txt"));
  EXPECT_EQ(folder_.Read("made/theirs.txt"), "someone else's");
  EXPECT_TRUE(log_.Contains("rollback failed, folder created: " + folder +
                            ": the folder is not empty; it is kept"));
}

TEST_F(ChangeJournalTest, RegistrationsAreUnregisteredLastFirst) {
  ASSERT_TRUE(journal_.RecordRegistration("/opt/app/a.so"));
  ASSERT_TRUE(journal_.RecordRegistration("/opt/app/b.so"));
  std::vector<std::string> calls;
  auto failures = journal_.Rollback([&](const std::string& file) {
    calls.push_back(file);
    return file != "/opt/app/a.so";
  });
  EXPECT_EQ(calls, (std::vector<std::string>{"/opt/app/b.so", "/opt/app/a.so"}));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(As<RegistrationChange>(failures[0].change).path, "/opt/app/a.so");
}

TEST_F(ChangeJournalTest, IniFilesComeBackByteForByte) {
  struct Case {
    std::string name;
    std::optional<std::string> content;  // nullopt: no file before
  } cases[] = {
      {"crlf", Bytes("; settings\r\n[General]\r\n  Name = \"Old App\"  \r\nPath=C:\\old\r\n\r\n"
                     "[Other]\r\nx=1")},
      {"lf", Bytes("[general]\nname=old\n")},
      {"utf16", Bytes("\xff\xfe[\0G\0]\0\r\0\n\0k\0=\0v\0")},
      {"missing", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = folder_ / ("ini/" + c.name);
    const std::string path = folder + "/app.ini";
    if (c.content) folder_.Write("ini/" + c.name + "/app.ini", *c.content);
    std::string before = Read(path);
    if (!c.content) {
      ASSERT_TRUE(journal_.RecordFolderCreate(folder));
      ASSERT_TRUE(platform::CreateFolders(folder));
    }
    const char* writes[][3] = {
        {"General", "Name", "New App"}, {"General", "Added", "1"}, {"New Group", "Key", "v"}};
    for (const auto& w : writes) {
      ASSERT_TRUE(journal_.RecordIniValue(path, w[0], w[1]));
      ASSERT_TRUE(WriteIniValue(path, w[0], w[1], w[2]));
    }
    ASSERT_NE(Read(path), before);
    EXPECT_TRUE(journal_.Rollback().empty());
    EXPECT_EQ(Read(path), before);
    EXPECT_EQ(platform::PathExists(folder), c.content.has_value());
  }
}

TEST_F(ChangeJournalTest, IniEntriesKeepTheOldValue) {
  std::string path = folder_.Write("app.ini", "[General]\nName=Old\n");
  ASSERT_TRUE(journal_.RecordIniValue(path, "general", "NAME"));
  ASSERT_TRUE(journal_.RecordIniValue(path, "General", "Missing"));
  auto changes = journal_.Changes();
  ASSERT_EQ(changes.size(), 3u);  // the file once, then one entry per value
  EXPECT_EQ(KindOf(changes[0]), ChangeKind::kFileReplaced);
  EXPECT_EQ(KindOf(changes[1]), ChangeKind::kIniValue);
  EXPECT_EQ(As<IniValueChange>(changes[1]).old_text, "Old");
  EXPECT_EQ(As<IniValueChange>(changes[2]).old_text, std::nullopt);
  EXPECT_EQ(DescribeChange(changes[2]), "ini value: " + path + " [General] Missing");

  // An INI file that cannot be read is not changed.
  std::string folder_path = folder_ / "folder.ini";
  ASSERT_TRUE(platform::CreateFolders(folder_path));
  EXPECT_FALSE(journal_.RecordIniValue(folder_path, "g", "k"));
}

TEST_F(ChangeJournalTest, TheRegistryStoreComesBackByteForByte) {
  ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\Vendor\\App"));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor\\App", "Path",
                                 RegistryValue::String("/opt/app")));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor\\App", "Count", RegistryValue::Dword(3)));
  ASSERT_TRUE(
      registry_.SetValue(kUser, "Software\\Vendor", "Other", RegistryValue::Binary("\x01")));
  const std::string before = Contents();
  const std::string before_bytes = Read(StoreFile());

  auto set = [&](std::string_view subkey, std::string_view name, const RegistryValue& value) {
    if (!registry_.QueryKey(kUser, subkey).info) {
      ASSERT_TRUE(journal_.RecordRegistryKeyCreate(kUser, subkey));
      ASSERT_TRUE(registry_.CreateKey(kUser, subkey));
    }
    ASSERT_TRUE(journal_.RecordRegistryValue(kUser, subkey, name));
    ASSERT_TRUE(registry_.SetValue(kUser, subkey, name, value));
  };
  set("software\\vendor\\app", "PATH", RegistryValue::Dword(7));  // another type, other case
  set("Software\\Vendor\\App", "New", RegistryValue::String("n"));
  set("Software\\Vendor\\App\\Sub\\Deeper", "", RegistryValue::String("d"));
  set("Software\\Vendor\\App", "New", RegistryValue::String("twice"));
  ASSERT_NE(Contents(), before);

  auto changes = journal_.Changes();
  ASSERT_EQ(changes.size(), 6u);
  EXPECT_EQ(As<RegistryValueChange>(changes[0]).old_value, RegistryValue::String("/opt/app"));
  EXPECT_EQ(As<RegistryValueChange>(changes[1]).old_value, std::nullopt);
  EXPECT_EQ(KindOf(changes[2]), ChangeKind::kRegistryKeyCreated);
  EXPECT_EQ(As<RegistryKeyCreatedChange>(changes[2]).subkey, "Software\\Vendor\\App\\Sub");
  EXPECT_EQ(As<RegistryKeyCreatedChange>(changes[3]).subkey, "Software\\Vendor\\App\\Sub\\Deeper");
  EXPECT_EQ(As<RegistryValueChange>(changes[5]).old_value, RegistryValue::String("n"));

  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_EQ(Contents(), before);
  if (!StoreFile().empty()) {
    EXPECT_EQ(Read(StoreFile()), before_bytes);  // names keep their case, values their order
  }
}

TEST_F(ChangeJournalTest, ARegistryRootThatDidNotExistIsGoneAgain) {
  ASSERT_TRUE(journal_.RecordRegistryKeyCreate(kUser, "Software\\Vendor"));
  ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\Vendor"));
  ASSERT_TRUE(journal_.RecordRegistryValue(kUser, "Software\\Vendor", "v"));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor", "v", RegistryValue::Dword(1)));
  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_FALSE(registry_.QueryKey(kUser, "Software").info);
  if (!StoreFile().empty()) {
    EXPECT_FALSE(platform::PathExists(StoreFile()));  // the empty root's file is removed
  }
}

TEST_F(ChangeJournalTest, KeysOthersFilledAreKept) {
  ASSERT_TRUE(journal_.RecordRegistryKeyCreate(kUser, "Software\\Shared"));
  ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\Shared"));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Shared", "theirs", RegistryValue::Dword(1)));
  // The created key keeps their value, and its parent keeps it.
  auto failures = journal_.Rollback();
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(As<RegistryKeyCreatedChange>(failures[0].change).subkey, "Software\\Shared");
  EXPECT_EQ(failures[0].message, "the key is not empty; it is kept");
  EXPECT_EQ(As<RegistryKeyCreatedChange>(failures[1].change).subkey, "Software");
  EXPECT_EQ(registry_.QueryValue(kUser, "Software\\Shared", "theirs").value,
            RegistryValue::Dword(1));
}

// Counts the reads of the store behind it.
class CountingRegistry : public TestRegistry {
 public:
  using TestRegistry::TestRegistry;
  platform::RegistryKeyRead QueryKey(RegistryRoot root, std::string_view subkey) override {
    ++reads;
    return TestRegistry::QueryKey(root, subkey);
  }
  platform::RegistryDepthRead QueryExistingDepth(RegistryRoot root,
                                                 std::string_view subkey) override {
    ++reads;
    return TestRegistry::QueryExistingDepth(root, subkey);
  }
  platform::RegistryValueRead QueryValue(RegistryRoot root, std::string_view subkey,
                                         std::string_view name) override {
    ++reads;
    return TestRegistry::QueryValue(root, subkey, name);
  }
  int reads = 0;
};

TEST_F(ChangeJournalTest, ADeepKeyIsRecordedWithOneReadOfTheStore) {
  CountingRegistry registry{folder_ / "deep-registry"};
  CChangeJournal journal{registry, folder_ / "temp/deep"};
  ASSERT_TRUE(registry.CreateKey(kUser, "SOFTWARE\\vendor"));
  std::string deep = "Software\\Vendor";
  for (int i = 0; i < 500; ++i) deep += "\\k" + std::to_string(i);

  registry.reads = 0;
  ASSERT_TRUE(journal.RecordRegistryKeyCreate(kUser, deep));
  EXPECT_EQ(registry.reads, 1);
  auto changes = journal.Changes();
  ASSERT_EQ(changes.size(), 500u);
  EXPECT_EQ(As<RegistryKeyCreatedChange>(changes.front()).subkey, "Software\\Vendor\\k0");
  EXPECT_EQ(As<RegistryKeyCreatedChange>(changes.back()).subkey, deep);

  ASSERT_TRUE(registry.CreateKey(kUser, deep));
  registry.reads = 0;
  ASSERT_TRUE(journal.RecordRegistryValue(kUser, deep, "v"));
  EXPECT_EQ(registry.reads, 1);
  EXPECT_EQ(As<RegistryValueChange>(journal.Changes().back()).subkey, deep);
}

TEST_F(ChangeJournalTest, RefusesWhatItCannotRecord) {
  if (!StoreFile().empty()) {
    // A registry store that cannot be read.
    ASSERT_TRUE(platform::CreateFolders(platform::FolderOf(StoreFile())));
    ASSERT_TRUE(platform::WriteFileAtomic(StoreFile(), "garbage\n"));
    EXPECT_FALSE(journal_.RecordRegistryValue(kUser, "A", "v"));
    EXPECT_FALSE(journal_.RecordRegistryKeyCreate(kUser, "A"));
  }
  EXPECT_FALSE(journal_.RecordRegistryKeyCreate(kUser, "A\\\\B"));  // empty component
  // A folder in the place of a file to keep, no file name at all.
  ASSERT_TRUE(platform::CreateFolders(folder_ / "dir"));
  EXPECT_FALSE(journal_.RecordFileReplace(folder_ / "dir"));
  EXPECT_FALSE(journal_.RecordFileReplace(""));
  // A full journal.
  for (std::size_t i = 0; i < CChangeJournal::kMaxChanges; ++i)
    ASSERT_TRUE(journal_.RecordRegistration("c" + std::to_string(i)));
  EXPECT_FALSE(journal_.RecordRegistration("one more"));
  EXPECT_FALSE(journal_.RecordFileCreate(folder_ / "one more"));
  EXPECT_EQ(journal_.Size(), CChangeJournal::kMaxChanges);
  journal_.Clear();
  EXPECT_EQ(journal_.Size(), 0u);
}

TEST_F(ChangeJournalTest, DescribesEveryKind) {
  const std::pair<ChangeRecord, const char*> cases[] = {
      {FileReplacedChange{"/p", "/b"}, "file replaced: /p"},
      {FileCreatedChange{"/p"}, "file created: /p"},
      {FolderCreatedChange{"/p"}, "folder created: /p"},
      {IniValueChange{"/p", "G", "k", std::nullopt}, "ini value: /p [G] k"},
      {RegistryKeyCreatedChange{kUser, "S\\K"}, "registry key created: HKEY_CURRENT_USER\\S\\K"},
      {RegistryValueChange{kUser, "S\\K", "v", std::nullopt},
       "registry value: HKEY_CURRENT_USER\\S\\K\\v"},
      {RegistrationChange{"/p"}, "component registered: /p"},
      {TemporaryFileChange{"/p"}, "temporary file: /p"},
  };
  ASSERT_EQ(std::size(cases), std::variant_size_v<ChangeRecord>);
  for (const auto& [change, text] : cases) EXPECT_EQ(DescribeChange(change), text);
}

// Entries of an archive are all recorded before any is extracted: a new folder
// and its parents are recorded once however many entries lie in them, and
// however its path is spelled.
TEST_F(ChangeJournalTest, ACreatedFolderIsRecordedOnce) {
  platform::CreateFolders(folder_ / "app");
  const std::string app = folder_ / "app";
  for (const std::string& spelling : {Native(app + "//bz"), Native(app + "/bz/"),
                                      Native(app + "//bz//deep"), Native(app + "/bz")})
    ASSERT_TRUE(journal_.RecordFolderCreate(spelling));
  ASSERT_TRUE(journal_.RecordFileCreate(Native(app + "//bz/one")));
  ASSERT_TRUE(journal_.RecordFileCreate(Native(app + "/bz//two")));
  std::vector<std::string> described;
  for (const ChangeRecord& change : journal_.Changes()) described.push_back(DescribeChange(change));
  EXPECT_EQ(described, (std::vector<std::string>{
                           "folder created: " + Native(app + "/bz"),
                           "folder created: " + Native(app + "/bz/deep"),
                           "file created: " + Native(app + "/bz/one"),
                           "file created: " + Native(app + "/bz/two"),
                       }));

  platform::CreateFolders(Native(app + "/bz/deep"));
  folder_.Write("app/bz/one", "1");
  folder_.Write("app/bz/two", "2");
  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_FALSE(platform::PathExists(Native(app + "/bz")));
  for (const std::string& line : log_.Lines())
    EXPECT_EQ(line.find("rollback failed"), std::string::npos) << line;
}
