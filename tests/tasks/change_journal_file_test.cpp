// The change journal on disk: what a killed run leaves is read back by the
// next start's journal and undone; what is read back is checked record by record.

#include "updater/tasks/rollback/change_journal_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/atomic_file_writer.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "tests/support/log_capture.h"
#include "tests/support/native_path.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "updater/tasks/rollback/change_journal.h"
#include "updater/tasks/rollback/interrupted_run.h"

using platform::RegistryRoot;
using platform::RegistryValue;

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;

std::vector<std::string> Encoded(const std::vector<ChangeRecord>& changes) {
  std::vector<std::string> lines;
  for (const ChangeRecord& change : changes) lines.push_back(EncodeChangeRecord(change));
  return lines;
}

class ChangeJournalFileTest : public ::testing::Test {
 protected:
  std::string JournalFolder() const { return folder_ / "state/journal"; }
  std::string JournalFile() const { return CChangeJournal::FilePath(JournalFolder()); }
  std::string Backups() const { return folder_ / "state/journal/backups"; }
  std::string Read(const std::string& path) const {
    return platform::ReadFile(path, 1 << 24).value_or("<missing>");
  }
  // The bytes of the current user's store where it is a file; "" elsewhere.
  std::string StoreBytes() const {
    const std::string file = registry_.StoreFile(kUser);
    return file.empty() ? "" : platform::ReadFile(file, 1 << 20).value_or("");
  }

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_ / "config"};
  LogCapture log_;
  TestRegistry registry_{folder_ / "config/velmora/registry"};
};

TEST_F(ChangeJournalFileTest, AKilledRunIsUndoneByTheNextStart) {
  const std::string program = folder_.Write("app/program", "old program\n");
  const std::string ini = folder_.Write("app/app.ini", "[G]\r\nK=old\r\n");
  ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\App"));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\App", "Version", RegistryValue::String("1.0")));
  const std::string store = StoreBytes();
  std::vector<std::string> recorded;
  std::string temporary;
  {
    // The run: every change is on disk before it is made; then the process "dies".
    CChangeJournal run(registry_);
    ASSERT_TRUE(run.Open(JournalFolder()));
    ASSERT_TRUE(run.RecordFileReplace(program));
    folder_.Write("app/program", "new program\n");
    ASSERT_TRUE(run.RecordFolderCreate(folder_ / "app/plugins/extra"));
    ASSERT_TRUE(run.RecordFileCreate(folder_ / "app/plugins/extra/plugin.bin"));
    folder_.Write("app/plugins/extra/plugin.bin", "plugin");
    ASSERT_TRUE(run.RecordIniValue(ini, "G", "K"));
    folder_.Write("app/app.ini", "[G]\r\nK=new\r\n");
    ASSERT_TRUE(run.RecordRegistryKeyCreate(kUser, "Software\\App\\New"));
    ASSERT_TRUE(run.RecordRegistryValue(kUser, "Software\\App", "Version"));
    ASSERT_TRUE(run.RecordRegistryValue(kUser, "Software\\App\\New", "V"));
    ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\App\\New"));
    ASSERT_TRUE(registry_.SetValue(kUser, "Software\\App\\New", "V", RegistryValue::Dword(7)));
    ASSERT_TRUE(registry_.SetValue(kUser, "Software\\App", "Version", RegistryValue::String("2")));
    // A copy cut off in the middle: its temporary file is recorded before it exists.
    platform::AtomicFileWriter writer;
    ASSERT_TRUE(writer.Open(folder_ / "app/readme.txt", [&](const std::string& temporary) {
      return run.RecordTemporaryFile(temporary);
    }));
    ASSERT_TRUE(writer.Write("half of the new"));
    recorded = Encoded(run.Changes());
    ASSERT_TRUE(platform::FileExists(JournalFile()));
    ASSERT_EQ(KindOf(run.Changes().back()), ChangeKind::kTemporaryFile);
    temporary = std::get<TemporaryFileChange>(run.Changes().back()).path;
    EXPECT_TRUE(platform::FileExists(temporary));
  }
  // A killed process would have left the part written; the writer object of
  // this test removed it, so it is put back.
  ASSERT_TRUE(platform::WriteFileAtomic(temporary, "half of the new"));
  // The journal file as a killed run leaves it.
  CChangeJournal reader(registry_);

  ASSERT_TRUE(reader.Open(JournalFolder()));
  EXPECT_EQ(Encoded(reader.Changes()), recorded);
  reader.~CChangeJournal();
  new (&reader) CChangeJournal(registry_);

  CChangeJournal next(registry_);
  ASSERT_TRUE(OpenJournalAndRecover(next, JournalFolder()));
  EXPECT_EQ(next.Size(), 0u);
  EXPECT_TRUE(log_.Contains("rollback of an interrupted run: undoing " +
                            std::to_string(recorded.size()) + " changes"));
  EXPECT_TRUE(log_.Contains("rollback of an interrupted run: every change was undone"));
  EXPECT_EQ(Read(program), "old program\n");
  EXPECT_EQ(Read(ini), "[G]\r\nK=old\r\n");
  EXPECT_FALSE(platform::PathExists(folder_ / "app/plugins"));
  EXPECT_EQ(platform::ListFolder(folder_ / "app"),
            (std::optional<std::vector<std::string>>{{"app.ini", "program"}}));
  EXPECT_EQ(registry_.QueryValue(kUser, "Software\\App", "Version").value,
            RegistryValue::String("1.0"));
  EXPECT_FALSE(registry_.QueryKey(kUser, "Software\\App\\New").info);
  EXPECT_EQ(StoreBytes(), store);
  EXPECT_FALSE(platform::PathExists(JournalFile()));
}

TEST_F(ChangeJournalFileTest, ASuccessfulRunRemovesItsJournalAndTheNextStartItsCopies) {
  const std::string program = folder_.Write("app/program", "old");
  {
    CChangeJournal run(registry_);
    ASSERT_TRUE(run.Open(JournalFolder()));
    ASSERT_TRUE(run.RecordFileReplace(program));
    ASSERT_EQ(KindOf(run.Changes().front()), ChangeKind::kFileReplaced);
    const std::string backup = std::get<FileReplacedChange>(run.Changes().front()).backup;
    EXPECT_EQ(backup, folder_ / "state/journal/backups/00001_program");
    run.Clear();
    EXPECT_FALSE(platform::PathExists(JournalFile()));
    // Restore information names the kept copy: it stays after the run.
    EXPECT_EQ(Read(backup), "old");
  }
  CChangeJournal next(registry_);
  ASSERT_TRUE(OpenJournalAndRecover(next, JournalFolder()));
  EXPECT_EQ(next.Size(), 0u);
  EXPECT_EQ(platform::ListFolder(Backups()).value_or(std::vector<std::string>{"<missing>"}),
            std::vector<std::string>{});
  EXPECT_EQ(Read(program), "old");
}

// A journal file is outside input at start-up: only whole records that check
// out are taken, in order, up to the first that does not.
TEST_F(ChangeJournalFileTest, ReadingBackTakesOnlyRecordsThatCheckOut) {
  FileCreatedChange created{Native("/opt/app/new.txt")};
  FileReplacedChange replaced{Native("/opt/app/program"), Native("/state/backups/00001_program")};
  RegistryValueChange value;
  value.root = RegistryRoot::kLocalMachine;
  value.subkey = "S\\K";
  value.value_name = "line\nbreak";
  value.old_value = RegistryValue::Binary(std::string("\0\n\xff", 3));
  const std::string good =
      EncodeChangeRecord(created) + EncodeChangeRecord(replaced) + EncodeChangeRecord(value);

  FileReplacedChange outside = replaced;
  outside.backup = Native("/state/backups/../../etc/passwd");
  FileCreatedChange relative = created;
  relative.path = Native("opt/app/new.txt");
  std::string bad_dword = EncodeChangeRecord(value);
  bad_dword.replace(bad_dword.find(" 1:3 "), 5, " 1:4 ");

  struct Case {
    const char* name;
    std::string tail;
  };
  const Case cases[] = {
      {"whole", ""},
      {"cut short", Native("0 16:/opt/app/x")},
      {"backup outside its folder", EncodeChangeRecord(outside)},
      {"relative path", EncodeChangeRecord(relative)},
      {"unknown kind", "99" + EncodeChangeRecord(created).substr(1)},
      {"length beyond the record", Native("1 999999:/opt - - - - 1:1 - - - -\n")},
      {"too few fields", Native("1 4:/opt - - -\n")},
      {"registry data that does not fit its type", bad_dword},
  };
  for (const Case& c : cases) {
    const std::string bytes = std::string(kChangeJournalHeader) + good + c.tail;
    DecodedChangeJournal read = DecodeChangeJournal(bytes, Native("/state/backups"), 1000);
    EXPECT_TRUE(read.header_ok) << c.name;
    EXPECT_EQ(Encoded(read.changes),
              (std::vector<std::string>{EncodeChangeRecord(created), EncodeChangeRecord(replaced),
                                        EncodeChangeRecord(value)}))
        << c.name;
    EXPECT_EQ(read.ignored_bytes, c.tail.empty() ? 0 : c.tail.size()) << c.name;
  }
  EXPECT_FALSE(
      DecodeChangeJournal("velmora change journal 2\n" + good, Native("/state/backups"), 1000)
          .header_ok);
  EXPECT_EQ(
      DecodeChangeJournal(std::string(kChangeJournalHeader) + good, Native("/state/backups"), 2)
          .changes.size(),
      2u);
}

// A journal as this version writes it, byte for byte, one record of every
// kind: it reads back into the changes it describes, and writing them again
// gives the same bytes.
TEST(ChangeJournalFormatTest, AJournalOfThisVersionReadsBackAndWritesTheSameBytes) {
  struct Record {
    std::string line;
    std::string described;
  };
  const Record records[] = {
      {Native("0 16:/opt/app/program 28:/state/backups/00001_program 0: 0: - 1:1 0: 0: - -\n"),
       Native("file replaced: /opt/app/program")},
      {Native("1 16:/opt/app/new.txt 0: 0: 0: - 1:1 0: 0: - -\n"),
       Native("file created: /opt/app/new.txt")},
      {Native("2 16:/opt/app/plugins 0: 0: 0: - 1:1 0: 0: - -\n"),
       Native("folder created: /opt/app/plugins")},
      {Native("3 16:/opt/app/app.ini 0: 4:Main 4:Path 9:Old value 1:1 0: 0: - -\n"),
       Native("ini value: /opt/app/app.ini [Main] Path")},
      {Native("3 16:/opt/app/app.ini 0: 4:Main 3:New - 1:1 0: 0: - -\n"),
       Native("ini value: /opt/app/app.ini [Main] New")},
      {"4 0: 0: 0: 0: - 1:2 15:Software\\Vendor 0: - -\n",
       "registry key created: HKEY_LOCAL_MACHINE\\Software\\Vendor"},
      {std::string("5 0: 0: 0: 0: - 1:2 3:S\\K 10:line\nbreak 1:3 3:\0\n\xff\n", 50),
       "registry value: HKEY_LOCAL_MACHINE\\S\\K\\line\nbreak"},
      {"5 0: 0: 0: 0: - 1:1 8:Software 5:Count - -\n",
       "registry value: HKEY_CURRENT_USER\\Software\\Count"},
      {Native("6 13:/opt/app/c.so 0: 0: 0: - 1:1 0: 0: - -\n"),
       Native("component registered: /opt/app/c.so")},
      {Native("7 26:/opt/app/.velmora-ab12.tmp 0: 0: 0: - 1:1 0: 0: - -\n"),
       Native("temporary file: /opt/app/.velmora-ab12.tmp")},
  };
  std::string bytes = "velmora change journal 1\n";
  for (const Record& record : records) bytes += record.line;

  DecodedChangeJournal read = DecodeChangeJournal(bytes, Native("/state/backups"), 1000);
  EXPECT_TRUE(read.header_ok);
  EXPECT_EQ(read.ignored_bytes, 0u);
  ASSERT_EQ(read.changes.size(), std::size(records));
  for (std::size_t i = 0; i < std::size(records); ++i) {
    EXPECT_EQ(DescribeChange(read.changes[i]), records[i].described) << i;
    EXPECT_EQ(EncodeChangeRecord(read.changes[i]), records[i].line) << i;
  }
}

}  // namespace
