#include "updater/tasks/install/install_ini.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/log_capture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "updater/core/ini_file.h"
#include "updater/core/language.h"
#include "updater/description/update_file_data.h"
#include "updater/process/message_queue.h"

namespace {

constexpr std::int64_t kWaitMs = 10000;

// What the owner received, one line per message.
std::string Describe(const Message& m) {
  switch (m.id) {
    case MessageId::kInstallProgress: {
      const auto& p = std::any_cast<const InstallProgress&>(m.payload);
      return "progress " + p.item + " " + std::to_string(p.item_done) + "/" +
             std::to_string(p.item_total) + " " + std::to_string(p.cumulative_done);
    }
    case MessageId::kError:
      return "error " + std::to_string(m.wparam) + " " + m.text;
    case MessageId::kInstallPartDone:
      return "done " + std::to_string(m.wparam);
    default:
      return "message " + std::to_string(ToNumber(m.id));
  }
}

// Starts the part and collects the owner's messages up to MessageId::kInstallPartDone.
std::vector<std::string> RunPart(CTaskThread& worker) {
  auto owner = std::make_shared<CMessageQueue>();
  worker.Start();
  Message set_owner = MakeMessage(MessageId::kSetOwner);
  set_owner.payload = owner;
  worker.Post(std::move(set_owner));
  worker.Post(MakeMessage(MessageId::kInstallPartStart));
  std::vector<std::string> received;
  while (auto m = owner->TakeFor(kWaitMs)) {
    received.push_back(Describe(*m));
    if (m->id == MessageId::kInstallPartDone) break;
  }
  return received;
}

class InstallIniTest : public ::testing::Test {
 protected:
  InstallIniTest() {
    CUpdateFileData::ResetInstance();
    CLanguage::ResetInstance();
  }
  ~InstallIniTest() override { CUpdateFileData::ResetInstance(); }

  void AddItem(const std::string& location, const std::string& group, const std::string& key,
               const std::string& value) {
    CUpdateFileData::Instance().ini_items.push_back({location, group, key, value});
  }

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_ / "config"};
  LogCapture log_;
  TestRegistry registry_{folder_ / "config/velmora/registry"};
  CChangeJournal journal_{registry_, folder_ / "rollback"};
};

const std::string kStep0 = "progress Ini settings 0/1 ";
const std::string kStep1 = "progress Ini settings 1/1 ";

}  // namespace

TEST_F(InstallIniTest, WithoutItemsThePartIsDoneAtOnce) {
  CInstallIni worker(&journal_);
  EXPECT_EQ(worker.TotalUnits(), 0);
  EXPECT_EQ(RunPart(worker), std::vector<std::string>{"done 1"});
  worker.Stop();
  EXPECT_TRUE(log_.Contains("CInstallIni::InitInstance()"));
  EXPECT_TRUE(log_.Contains("CInstallIni::ExitInstance()"));
}

TEST_F(InstallIniTest, WritesEveryItemAndCreatesMissingFolders) {
  std::string existing = folder_.Write("app/app.ini", "[General]\r\nName=Old\r\n");
  AddItem(existing, "General", "Name", "New");
  AddItem(folder_ / "app/new/deeper/more.ini", "Paths", "Data", "/opt/data");
  // Files written for Windows name their folders with backslashes.
  AddItem(folder_.path() + "\\app\\app.ini", "general", "Added", "1");

  CInstallIni worker(&journal_);
  EXPECT_EQ(worker.TotalUnits(), 3);
  EXPECT_EQ(RunPart(worker),
            (std::vector<std::string>{kStep0 + "0", kStep1 + "1", kStep0 + "1", kStep1 + "2",
                                      kStep0 + "2", kStep1 + "3", "done 1"}));
  EXPECT_EQ(folder_.Read("app/app.ini"), "[General]\r\nName=New\r\nAdded=1\r\n");
  EXPECT_EQ(ReadIniValue(folder_ / "app/new/deeper/more.ini", "Paths", "Data", ""), "/opt/data");

  // Every change was recorded first and is undone.
  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_EQ(folder_.Read("app/app.ini"), "[General]\r\nName=Old\r\n");
  EXPECT_FALSE(platform::PathExists(folder_ / "app/new"));
}

TEST_F(InstallIniTest, ReportsFailuresAndGoesOn) {
  folder_.Write("blocker", "a file where a folder should be");
  AddItem(folder_ / "blocker/sub/app.ini", "g", "k", "v");   // folder cannot be made
  AddItem(folder_ / "ok/app.ini", "g", "line", "one\ntwo");  // value refused
  AddItem(folder_ / "ok/app.ini", "g", "k", "written");

  CInstallIni worker(&journal_);
  EXPECT_EQ(RunPart(worker),
            (std::vector<std::string>{kStep0 + "0", "error 11 Ini settings", kStep1 + "1",
                                      kStep0 + "1", "error 11 app.ini", kStep1 + "2", kStep0 + "2",
                                      kStep1 + "3", "done 1"}));
  EXPECT_EQ(ReadIniValue(folder_ / "ok/app.ini", "g", "k", ""), "written");
  EXPECT_EQ(ReadIniValue(folder_ / "ok/app.ini", "g", "line", "absent"), "absent");
  EXPECT_TRUE(log_.Contains("ini: cannot write [g] line to " + folder_ / "ok/app.ini"));
}

TEST_F(InstallIniTest, AChangeThatCannotBeRecordedIsNotMade) {
  std::string path = folder_.Write("app.ini", "[g]\nk=old\n");
  for (std::size_t i = 0; i < CChangeJournal::kMaxChanges; ++i)
    ASSERT_TRUE(journal_.RecordRegistration("c"));
  AddItem(path, "g", "k", "new");

  CInstallIni worker(&journal_);
  EXPECT_EQ(RunPart(worker),
            (std::vector<std::string>{kStep0 + "0", "error 11 app.ini", kStep1 + "1", "done 1"}));
  EXPECT_EQ(folder_.Read("app.ini"), "[g]\nk=old\n");
}

TEST_F(InstallIniTest, TheItemTextComesFromTheLanguage) {
  std::string lng =
      folder_.Write("lng/test.xml",
                    "<?xml version=\"1.0\"?>\n<UPDATERLANGUAGE><INFO><LANGUAGE>test</LANGUAGE>"
                    "<VERSION>0.8.1.5</VERSION><TRANSLATOR>t</TRANSLATOR></INFO><DATA>"
                    "<IDS_ACTION_INI>Einstellungen</IDS_ACTION_INI></DATA></UPDATERLANGUAGE>\n");
  ASSERT_TRUE(CLanguage::Instance().LoadLanguageFile(lng, "test", false));
  AddItem(folder_ / "a.ini", "g", "k", "v");
  CInstallIni worker(&journal_);
  auto received = RunPart(worker);
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received[0], "progress Einstellungen 0/1 0");
  CLanguage::ResetInstance();
}
