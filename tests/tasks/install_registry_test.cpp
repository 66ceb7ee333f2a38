#include "updater/tasks/install/install_registry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/log_capture.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"
#include "updater/core/language.h"
#include "updater/description/update_file_data.h"
#include "updater/process/message_queue.h"

using platform::RegistryRoot;
using platform::RegistryValue;

namespace {

constexpr std::int64_t kWaitMs = 10000;

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

const std::string kStep0 = "progress Registry settings 0/1 ";
const std::string kStep1 = "progress Registry settings 1/1 ";

// The messages of n items that all succeed.
std::vector<std::string> Success(int n) {
  std::vector<std::string> expected;
  for (int i = 0; i < n; ++i) {
    expected.push_back(kStep0 + std::to_string(i));
    expected.push_back(kStep1 + std::to_string(i + 1));
  }
  expected.push_back("done 2");
  return expected;
}

class InstallRegistryTest : public ::testing::Test {
 protected:
  InstallRegistryTest() {
    CUpdateFileData::ResetInstance();
    CLanguage::ResetInstance();
  }
  ~InstallRegistryTest() override { CUpdateFileData::ResetInstance(); }

  void AddItem(const std::string& type, const std::string& key, const std::string& value) {
    CUpdateFileData::Instance().registry_items.push_back({type, key, value});
  }
  std::optional<RegistryValue> Get(RegistryRoot root, std::string_view key, std::string_view name) {
    auto read = registry_.QueryValue(root, key, name);
    EXPECT_TRUE(read.status) << read.status.message();
    return read.value;
  }
  // The text of a root's store file; "" where the store is not made of files.
  std::string StoreText(RegistryRoot root) const {
    const std::string file = registry_.StoreFile(root);
    return file.empty() ? "" : platform::ReadFile(file, 1 << 20).value_or("<missing>");
  }
  bool StoreIsAFile() const { return !registry_.StoreFile(RegistryRoot::kCurrentUser).empty(); }

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_.path()};
  LogCapture log_;
  TestRegistry registry_{folder_ / "velmora/registry"};
  CChangeJournal journal_{registry_, folder_ / "rollback"};
};

}  // namespace

TEST(RegistryKeyText, SplitsRootSubkeyAndValueName) {
  struct Case {
    const char* key;
    const char* root;
    const char* subkey;
    const char* name;
  } cases[] = {
      {"HKEY_CURRENT_USER\\Software\\Vendor\\App\\Path", "HKEY_CURRENT_USER",
       "Software\\Vendor\\App", "Path"},
      {"HKEY_LOCAL_MACHINE\\Software\\App\\", "HKEY_LOCAL_MACHINE", "Software\\App", ""},
      {"HKEY_USERS\\Single", "HKEY_USERS", "Single", "Single"},
      {"HKEY_USERS\\", "HKEY_USERS", "", ""},
      {"HKEY_USERS\\\\Name", "HKEY_USERS", "", "Name"},
  };
  for (const auto& c : cases) {
    auto parts = SplitRegistryKeyText(c.key);
    ASSERT_TRUE(parts) << c.key;
    EXPECT_EQ(parts->root, c.root) << c.key;
    EXPECT_EQ(parts->subkey, c.subkey) << c.key;
    EXPECT_EQ(parts->value_name, c.name) << c.key;
  }
  EXPECT_FALSE(SplitRegistryKeyText("HKEY_CURRENT_USER"));
}

TEST(RegistryKeyText, TurnsItemTextsIntoValues) {
  struct Case {
    const char* type;
    const char* text;
    std::optional<RegistryValue> value;
  } cases[] = {
      {"string", "C:\\App", RegistryValue::String("C:\\App")},
      {"string", "", RegistryValue::String("")},
      {"dword", "12abc", RegistryValue::Dword(12)},
      {"dword", "  42", RegistryValue::Dword(42)},
      {"dword", "abc", RegistryValue::Dword(0)},
      {"dword", "-1", RegistryValue::Dword(0xFFFFFFFFu)},
      {"dword", "99999999999", RegistryValue::Dword(2147483647u)},
      {"binary", "01ff7e", RegistryValue::Binary("\x01\xff\x7e")},
      {"binary", "01 FF,7e-00:10", RegistryValue::Binary(std::string("\x01\xff\x7e\x00\x10", 5))},
      {"binary", "", RegistryValue::Binary("")},
      {"binary", "0", std::nullopt},
      {"binary", "0 1", std::nullopt},
      {"binary", "zz", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RegistryItemValue(c.type, c.text), c.value) << c.type << " " << c.text;
}

TEST_F(InstallRegistryTest, WithoutItemsThePartIsDoneAtOnce) {
  CInstallRegistry worker(&journal_);
  EXPECT_EQ(worker.TotalUnits(), 0);
  EXPECT_EQ(RunPart(worker), std::vector<std::string>{"done 2"});
  worker.Stop();
  EXPECT_TRUE(log_.Contains("CInstallRegistry::InitInstance()"));
  EXPECT_TRUE(log_.Contains("CInstallRegistry::ExitInstance()"));
}

TEST_F(InstallRegistryTest, WritesEveryTypeUnderItsRoot) {
  AddItem("string", "HKEY_CURRENT_USER\\Software\\Vendor\\App\\Path", "/opt/app");
  AddItem("dword", "hkey_current_user\\Software\\Vendor\\App\\Count", "12abc");
  AddItem("binary", "HKEY_LOCAL_MACHINE\\Software\\App\\Blob", "01 02 ff");
  AddItem("string", "HKEY_CLASSES_ROOT\\.vel\\", "Velmora.Document");

  CInstallRegistry worker(&journal_);
  EXPECT_EQ(worker.TotalUnits(), 4);
  EXPECT_EQ(RunPart(worker), Success(4));
  EXPECT_EQ(Get(RegistryRoot::kCurrentUser, "Software\\Vendor\\App", "Path"),
            RegistryValue::String("/opt/app"));
  EXPECT_EQ(Get(RegistryRoot::kCurrentUser, "software\\vendor\\app", "count"),
            RegistryValue::Dword(12));
  EXPECT_EQ(Get(RegistryRoot::kLocalMachine, "Software\\App", "Blob"),
            RegistryValue::Binary("\x01\x02\xff"));
  EXPECT_EQ(Get(RegistryRoot::kClassesRoot, ".vel", ""), RegistryValue::String("Velmora.Document"));
  if (StoreIsAFile()) {
    EXPECT_EQ(StoreText(RegistryRoot::kCurrentUser),
              "velmora-registry 1\n"
              "key \"Software\"\n"
              "key \"Software\\\\Vendor\"\n"
              "key \"Software\\\\Vendor\\\\App\"\n"
              "value \"Path\" sz \"/opt/app\"\n"
              "value \"Count\" dword 12\n");
  }
}

TEST_F(InstallRegistryTest, ARollbackPutsTheStoresBackByteForByte) {
  ASSERT_TRUE(registry_.CreateKey(RegistryRoot::kCurrentUser, "Software\\Vendor\\App"));
  ASSERT_TRUE(registry_.SetValue(RegistryRoot::kCurrentUser, "Software\\Vendor\\App", "path",
                                 RegistryValue::ExpandString("%HOME%/old")));
  ASSERT_TRUE(registry_.SetValue(RegistryRoot::kCurrentUser, "Software\\Vendor\\App", "Keep",
                                 RegistryValue::Dword(5)));
  const std::string before = StoreText(RegistryRoot::kCurrentUser);
  AddItem("string", "HKEY_CURRENT_USER\\Software\\Vendor\\App\\Path", "/opt/new");
  AddItem("dword", "HKEY_CURRENT_USER\\Software\\Vendor\\App\\Sub\\Level", "3");
  AddItem("string", "HKEY_USERS\\Fresh\\v", "x");

  CInstallRegistry worker(&journal_);
  ASSERT_EQ(RunPart(worker), Success(3));
  ASSERT_EQ(Get(RegistryRoot::kCurrentUser, "Software\\Vendor\\App", "Path"),
            RegistryValue::String("/opt/new"));
  EXPECT_TRUE(journal_.Rollback().empty());
  EXPECT_EQ(Get(RegistryRoot::kCurrentUser, "Software\\Vendor\\App", "Path"),
            RegistryValue::ExpandString("%HOME%/old"));
  EXPECT_EQ(Get(RegistryRoot::kCurrentUser, "Software\\Vendor\\App", "Keep"),
            RegistryValue::Dword(5));
  EXPECT_FALSE(registry_.QueryKey(RegistryRoot::kCurrentUser, "Software\\Vendor\\App\\Sub").info);
  EXPECT_FALSE(registry_.QueryKey(RegistryRoot::kUsers, "Fresh").info);
  if (StoreIsAFile()) {
    EXPECT_EQ(StoreText(RegistryRoot::kCurrentUser), before);
    EXPECT_FALSE(platform::PathExists(registry_.StoreFile(RegistryRoot::kUsers)));
  }
}

TEST_F(InstallRegistryTest, ReportsItemsThatCannotBeWrittenAndGoesOn) {
  AddItem("string", "HKEY_NOWHERE\\Software\\v", "x");
  AddItem("string", "no backslash at all", "x");
  AddItem("binary", "HKEY_CURRENT_USER\\Software\\Blob", "0g");
  AddItem("string", "HKEY_CURRENT_USER\\Soft\\\\ware\\v", "x");  // empty key name
  AddItem("string", "HKEY_CURRENT_USER\\Software\\Good", "yes");

  CInstallRegistry worker(&journal_);
  std::vector<std::string> expected;
  for (int i = 0; i < 4; ++i) {
    expected.push_back(kStep0 + std::to_string(i));
    expected.push_back("error 11 Registry settings");
    expected.push_back(kStep1 + std::to_string(i + 1));
  }
  expected.push_back(kStep0 + "4");
  expected.push_back(kStep1 + "5");
  expected.push_back("done 2");
  EXPECT_EQ(RunPart(worker), expected);
  EXPECT_EQ(Get(RegistryRoot::kCurrentUser, "Software", "Good"), RegistryValue::String("yes"));
  EXPECT_EQ(Get(RegistryRoot::kCurrentUser, "Software", "Blob"), std::nullopt);
  EXPECT_TRUE(log_.Contains("registry: unknown root key in HKEY_NOWHERE\\Software\\v"));
  EXPECT_TRUE(
      log_.Contains("registry: the value of HKEY_CURRENT_USER\\Software\\Blob is not of "
                    "type binary"));
}

TEST_F(InstallRegistryTest, ADamagedStoreIsLeftAlone) {
  if (!StoreIsAFile()) GTEST_SKIP() << "the store is the system's registry, not a file";
  std::string store = folder_.Write("velmora/registry/HKEY_CURRENT_USER.reg", "damaged\n");
  AddItem("string", "HKEY_CURRENT_USER\\Software\\v", "x");
  CInstallRegistry worker(&journal_);
  EXPECT_EQ(RunPart(worker), (std::vector<std::string>{kStep0 + "0", "error 11 Registry settings",
                                                       kStep1 + "1", "done 2"}));
  EXPECT_EQ(folder_.Read("velmora/registry/HKEY_CURRENT_USER.reg"), "damaged\n");
  EXPECT_EQ(journal_.Size(), 0u);
}
