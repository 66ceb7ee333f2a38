#include "platform/registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix/file_registry.h"
#include "platform/posix/registry_store.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

using platform::FileRegistry;
using platform::RegistryRoot;
using platform::RegistryType;
using platform::RegistryValue;

namespace {

constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;

class RegistryTest : public ::testing::Test {
 protected:
  std::string StoreFile(RegistryRoot root = kUser) const {
    return folder_ / ("velmora/registry/" + std::string(platform::RegistryRootName(root)) + ".reg");
  }
  std::string StoreText(RegistryRoot root = kUser) const {
    return platform::ReadFile(StoreFile(root), 1 << 24).value_or("<missing>");
  }
  std::optional<RegistryValue> Get(std::string_view key, std::string_view name) {
    auto read = registry_.QueryValue(kUser, key, name);
    EXPECT_TRUE(read.status) << read.status.message();
    return read.value;
  }

  TempFolder folder_;
  ScopedEnv env_{"XDG_CONFIG_HOME", folder_.path()};
  FileRegistry registry_;
};

}  // namespace

TEST(RegistryRoots, NamesAreMatchedWithoutCase) {
  struct Case {
    const char* name;
    std::optional<RegistryRoot> root;
  } cases[] = {
      {"HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
      {"hkey_current_user", RegistryRoot::kCurrentUser},
      {"HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
      {"Hkey_Classes_Root", RegistryRoot::kClassesRoot},
      {"HKEY_USERS", RegistryRoot::kUsers},
      {"HKEY_CURRENT_CONFIG", RegistryRoot::kCurrentConfig},
      {"HKCU", std::nullopt},
      {"", std::nullopt},
      {"HKEY_CURRENT_USER ", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::RegistryRootFromName(c.name), c.root) << c.name;
    if (c.root) {
      EXPECT_EQ(platform::RegistryRootFromName(platform::RegistryRootName(*c.root)), c.root);
    }
  }
}

TEST(RegistryValues, ConstructorsAndAccessors) {
  EXPECT_EQ(RegistryValue::Dword(0x0A0B0C0D).data, std::string("\x0D\x0C\x0B\x0A", 4));
  EXPECT_EQ(RegistryValue::Dword(4294967295u).AsDword(), 4294967295u);
  EXPECT_EQ(RegistryValue::Qword(1ull << 40).AsQword(), 1ull << 40);
  EXPECT_EQ(RegistryValue::String("x").AsDword(), std::nullopt);
  EXPECT_EQ(RegistryValue::MultiString({"a", "", "bc"}).data, std::string("a\0\0bc\0", 6));
  EXPECT_EQ(RegistryValue::MultiString({"a", "", "bc"}).AsMultiString(),
            (std::vector<std::string>{"a", "", "bc"}));

  struct Case {
    RegistryValue value;
    bool well_formed;
  } cases[] = {
      {RegistryValue::String("text"), true},
      {RegistryValue::String(std::string("a\0b", 3)), false},
      {RegistryValue::String("\xff"), false},
      {RegistryValue{RegistryType::kDword, "123"}, false},
      {RegistryValue{RegistryType::kQword, "1234"}, false},
      {RegistryValue::Binary(std::string("\0\xff", 2)), true},
      {RegistryValue::Binary(std::string(platform::kMaxRegistryValueBytes + 1, 'x')), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.value.IsWellFormed(), c.well_formed) << platform::RegistryValueToText(c.value);
}

TEST_F(RegistryTest, TheStoreLivesBelowTheConfigurationFolder) {
  EXPECT_EQ(registry_.Folder(), folder_ / "velmora/registry");
  EXPECT_EQ(registry_.FilePath(RegistryRoot::kLocalMachine),
            folder_ / "velmora/registry/HKEY_LOCAL_MACHINE.reg");
  FileRegistry own(folder_ / "own");
  EXPECT_EQ(own.Folder(), folder_ / "own");
  // A relative configuration folder is not used; the home folder's is.
  ScopedEnv relative("XDG_CONFIG_HOME", "relative/config");
  ScopedEnv home("HOME", "/home/tester");
  EXPECT_EQ(registry_.Folder(), "/home/tester/.config/velmora/registry");
}

TEST_F(RegistryTest, WritesTheDocumentedFormat) {
  ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\Vendor\\App"));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor\\App", "Path",
                                 RegistryValue::String("C:\\Program Files\\App")));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor\\App", "",
                                 RegistryValue::ExpandString("%HOME%/app")));
  ASSERT_TRUE(
      registry_.SetValue(kUser, "Software\\Vendor\\App", "Count", RegistryValue::Dword(12)));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor\\App", "Big",
                                 RegistryValue::Qword(std::numeric_limits<std::uint64_t>::max())));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor\\App", "Blob",
                                 RegistryValue::Binary(std::string("\x01\xff\x7e", 3))));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor\\App", "List",
                                 RegistryValue::MultiString({"first", "second"})));
  ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\Vendor\\App\\Empty"));

  EXPECT_EQ(StoreText(),
            "velmora-registry 1\n"
            "key \"Software\"\n"
            "key \"Software\\\\Vendor\"\n"
            "key \"Software\\\\Vendor\\\\App\"\n"
            "value \"Path\" sz \"C:\\\\Program Files\\\\App\"\n"
            "value \"\" expand_sz \"%HOME%/app\"\n"
            "value \"Count\" dword 12\n"
            "value \"Big\" qword 18446744073709551615\n"
            "value \"Blob\" binary 01ff7e\n"
            "value \"List\" multi_sz \"first\\0second\\0\"\n"
            "key \"Software\\\\Vendor\\\\App\\\\Empty\"\n");
  EXPECT_EQ(std::filesystem::status(StoreFile()).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(RegistryTest, EveryTypeRoundTripsThroughTheFile) {
  const RegistryValue values[] = {
      RegistryValue::String(""),
      RegistryValue::String("quote \" backslash \\ tab \t bell \a del \x7f caf\xc3\xa9"),
      RegistryValue::ExpandString("%PATH%;x"),
      RegistryValue::MultiString({}),
      RegistryValue::MultiString({"line\none", "\"two\""}),
      RegistryValue::Binary(""),
      RegistryValue::Binary(std::string("\0\n\r\x80\xff", 5)),
      RegistryValue::Dword(0),
      RegistryValue::Dword(4294967295u),
      RegistryValue::Qword(0),
  };
  ASSERT_TRUE(registry_.CreateKey(kUser, "K"));
  for (std::size_t i = 0; i < std::size(values); ++i) {
    std::string name = "v" + std::to_string(i);
    ASSERT_TRUE(registry_.SetValue(kUser, "K", name, values[i])) << name;
    EXPECT_EQ(Get("K", name), values[i]) << name;
  }
  // A fresh store object reads the same file.
  FileRegistry again;
  for (std::size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(again.QueryValue(kUser, "k", "V" + std::to_string(i)).value, values[i]);
}

TEST_F(RegistryTest, NamesCannotInjectLines) {
  const std::string evil = "x\"\nvalue \"Injected\" dword 1\n";
  ASSERT_TRUE(registry_.CreateKey(kUser, evil));
  ASSERT_TRUE(registry_.SetValue(kUser, evil, evil, RegistryValue::String(evil)));
  std::string text = StoreText();
  std::size_t lines = 0;
  for (char c : text) lines += c == '\n';
  EXPECT_EQ(lines, 3u) << text;  // header, key, value
  EXPECT_EQ(Get(evil, evil), RegistryValue::String(evil));
  EXPECT_EQ(Get(evil, "Injected"), std::nullopt);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirCase) {
  ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\Vendor"));
  ASSERT_TRUE(registry_.CreateKey(kUser, "SOFTWARE\\vendor\\ÄPP"));
  ASSERT_TRUE(registry_.SetValue(kUser, "software\\VENDOR\\äpp", "Path", RegistryValue::Dword(1)));
  ASSERT_TRUE(registry_.SetValue(kUser, "software\\vendor", "Zeta", RegistryValue::Dword(2)));
  ASSERT_TRUE(registry_.SetValue(kUser, "software\\vendor", "Alpha", RegistryValue::Dword(3)));
  // Overwriting keeps the stored name and its place.
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\Vendor", "ZETA", RegistryValue::Dword(4)));
  EXPECT_EQ(Get("SOFTWARE\\VENDOR\\äPP", "PATH"), RegistryValue::Dword(1));
  EXPECT_EQ(StoreText(),
            "velmora-registry 1\n"
            "key \"Software\"\n"
            "key \"Software\\\\Vendor\"\n"
            "value \"Zeta\" dword 4\n"
            "value \"Alpha\" dword 3\n"
            "key \"Software\\\\Vendor\\\\ÄPP\"\n"
            "value \"Path\" dword 1\n");
}

TEST_F(RegistryTest, KeysAndValuesFollowTheRegistryRules) {
  auto missing = registry_.QueryKey(kUser, "Software");
  ASSERT_TRUE(missing.status);
  EXPECT_FALSE(missing.info);
  EXPECT_TRUE(registry_.QueryKey(kUser, "").info);  // the root always exists

  EXPECT_FALSE(registry_.SetValue(kUser, "Software", "x", RegistryValue::Dword(1)));
  ASSERT_TRUE(registry_.CreateKey(kUser, "Software\\A\\B"));
  ASSERT_TRUE(registry_.SetValue(kUser, "Software\\A", "x", RegistryValue::Dword(1)));
  auto info = registry_.QueryKey(kUser, "software\\a");
  ASSERT_TRUE(info.info);
  EXPECT_EQ(info.info->subkeys, 1u);
  EXPECT_EQ(info.info->values, 1u);

  EXPECT_FALSE(registry_.DeleteKey(kUser, "Software\\A"));  // has a subkey
  EXPECT_FALSE(registry_.DeleteKey(kUser, ""));             // the root
  EXPECT_TRUE(registry_.DeleteKey(kUser, "Software\\A\\B"));
  EXPECT_TRUE(registry_.DeleteKey(kUser, "Software\\A\\B"));  // missing: success
  EXPECT_TRUE(registry_.DeleteValue(kUser, "Software\\A", "nothing"));
  EXPECT_TRUE(registry_.DeleteValue(kUser, "No\\Such\\Key", "x"));
  EXPECT_TRUE(registry_.DeleteKey(kUser, "Software\\A"));  // its value goes with it
  EXPECT_FALSE(registry_.QueryKey(kUser, "Software\\A").info);

  // Values on the root key itself.
  ASSERT_TRUE(registry_.SetValue(kUser, "", "top", RegistryValue::String("t")));
  EXPECT_EQ(Get("", "TOP"), RegistryValue::String("t"));
}

TEST_F(RegistryTest, RefusesPathsAndNamesBeyondTheLimits) {
  const std::string bad_paths[] = {
      "A\\\\B", "\\A",
      "A\\",    std::string("A\0B", 3),
      "\xff",   std::string(platform::kMaxRegistryKeyNameUnits + 1, 'k'),
  };
  for (const auto& path : bad_paths) {
    EXPECT_FALSE(registry_.CreateKey(kUser, path)) << path;
    EXPECT_FALSE(registry_.QueryValue(kUser, path, "x").status) << path;
  }
  std::string deep = "k";
  for (std::size_t i = 1; i < platform::kMaxRegistryKeyDepth + 1; ++i) deep += "\\k";
  EXPECT_FALSE(registry_.CreateKey(kUser, deep));
  ASSERT_TRUE(registry_.CreateKey(kUser, std::string(platform::kMaxRegistryKeyNameUnits, 'k')));
  ASSERT_TRUE(registry_.CreateKey(kUser, "K"));
  EXPECT_FALSE(registry_.SetValue(kUser, "K", std::string(1, '\0'), RegistryValue::Dword(1)));
  EXPECT_FALSE(registry_.SetValue(kUser, "K", "x", RegistryValue{RegistryType::kDword, "12"}));
}

TEST_F(RegistryTest, AnEmptiedRootHasNoFile) {
  ASSERT_TRUE(registry_.CreateKey(kUser, "A"));
  ASSERT_TRUE(registry_.SetValue(kUser, "A", "v", RegistryValue::Dword(1)));
  EXPECT_TRUE(platform::FileExists(StoreFile()));
  EXPECT_FALSE(platform::FileExists(StoreFile(RegistryRoot::kLocalMachine)));
  ASSERT_TRUE(registry_.DeleteKey(kUser, "A"));
  EXPECT_FALSE(platform::PathExists(StoreFile()));
}

TEST_F(RegistryTest, ReadsCommentsBlankLinesAndCrLf) {
  folder_.Write("velmora/registry/HKEY_USERS.reg",
                "velmora-registry 1\r\n# a comment\r\n\r\nkey \"A\\\\B\"\r\n"
                "value \"v\" dword 7\r\nkey \"a\"\nvalue \"w\" binary\n");
  auto read = registry_.QueryValue(RegistryRoot::kUsers, "a\\b", "V");
  ASSERT_TRUE(read.status) << read.status.message();
  EXPECT_EQ(read.value, RegistryValue::Dword(7));
  EXPECT_EQ(registry_.QueryValue(RegistryRoot::kUsers, "A", "w").value, RegistryValue::Binary(""));
}

TEST_F(RegistryTest, ADamagedStoreIsRefusedAndNeverOverwritten) {
  const std::string bodies[] = {
      "not a store\n",
      "velmora-registry 1\nvalue \"v\" dword 1\n",              // value before a key
      "velmora-registry 1\nkey \"A\"\nvalue \"v\" dword -1\n",  // sign
      "velmora-registry 1\nkey \"A\"\nvalue \"v\" dword 4294967296\n",
      "velmora-registry 1\nkey \"A\"\nvalue \"v\" binary 0\n",
      "velmora-registry 1\nkey \"A\"\nvalue \"v\" sz \"bad \\q escape\"\n",
      "velmora-registry 1\nkey \"A\"\nvalue \"v\" sz \"unterminated\n",
      "velmora-registry 1\nkey \"A\"\nvalue \"v\" sz \"raw\ttab\"\n",
      "velmora-registry 1\nkey \"A\"\nvalue \"v\" float 1.5\n",
      "velmora-registry 1\nkey \"A\\\\\\\\B\"\n",  // empty component
      "velmora-registry 1\nkey \"A\" trailing\n",
  };
  for (const auto& body : bodies) {
    std::string path = folder_.Write("velmora/registry/HKEY_CURRENT_USER.reg", body);
    auto read = registry_.QueryValue(kUser, "A", "v");
    EXPECT_FALSE(read.status) << body;
    EXPECT_FALSE(registry_.CreateKey(kUser, "B")) << body;
    EXPECT_FALSE(registry_.SetValue(kUser, "", "v", RegistryValue::Dword(1))) << body;
    EXPECT_EQ(platform::ReadFile(path, 1 << 20), body);
  }
}

TEST_F(RegistryTest, ConcurrentWritersNeverLoseChanges) {
  ASSERT_TRUE(registry_.CreateKey(kUser, "Shared"));
  constexpr int kThreads = 4;
  constexpr int kValues = 10;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      FileRegistry own;  // each writer opens the files on its own
      for (int i = 0; i < kValues; ++i)
        ASSERT_TRUE(own.SetValue(kUser, "Shared", std::to_string(t) + "_" + std::to_string(i),
                                 RegistryValue::Dword(static_cast<std::uint32_t>(i))));
    });
  }
  for (auto& thread : threads) thread.join();
  auto info = registry_.QueryKey(kUser, "Shared");
  ASSERT_TRUE(info.info);
  EXPECT_EQ(info.info->values, static_cast<std::size_t>(kThreads * kValues));
}

TEST(RegistryStore, SplitsPaths) {
  EXPECT_EQ(platform::SplitRegistryPath(""), std::vector<std::string>{});
  EXPECT_EQ(platform::SplitRegistryPath("Software\\Vendor\\App"),
            (std::vector<std::string>{"Software", "Vendor", "App"}));
  std::string error;
  EXPECT_FALSE(platform::SplitRegistryPath("A\\\\B", &error));
  EXPECT_NE(error.find("empty component"), std::string::npos);
}

// A store of 32 000 keys once took a minute to read: every key line searched
// all keys before it. Reading, searching and writing are linear now.
TEST(RegistryStore, LargeStoresAreReadAndWrittenInLinearTime) {
  std::string bytes = std::string(platform::kRegistryStoreHeader) + "\n";
  bytes += "key \"Software\"\nkey \"Software\\\\Vendor\"\n";
  for (int i = 0; i < 32000; ++i) {
    bytes += "key \"Software\\\\Vendor\\\\Key" + std::to_string(i) + "\"\n";
    bytes += "value \"v\" dword " + std::to_string(i) + "\n";
  }
  // Four chains of 500 levels.
  for (int chain = 0; chain < 4; ++chain) {
    std::string path = "Deep" + std::to_string(chain);
    for (int level = 0; level < 500; ++level) {
      bytes += "key " + platform::QuoteRegistryText(path) + "\n";
      path += "\\k";
    }
  }
  const auto start = std::chrono::steady_clock::now();
  platform::RegistryStore store;
  ASSERT_TRUE(store.Parse(bytes));
  EXPECT_EQ(store.GetValue({"software", "VENDOR", "key31999"}, "V"), RegistryValue::Dword(31999));
  EXPECT_EQ(store.KeyInfo({"Software", "Vendor"})->subkeys, 32000u);
  EXPECT_EQ(store.Serialize(), bytes);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}
