// The Windows platform layer against the system's own services (under wine
// on the build machine): the registry, shell links, file attributes,
// replacement by rename, the process list and the command-line parser.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/atomic_file_writer.h"
#include "platform/disk_space.h"
#include "platform/file_attributes.h"
#include "platform/file_lock.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "platform/file_version.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/shortcut.h"
#include "platform/system_paths.h"
#include "platform/utf8.h"
#include "platform/win32/wide.h"
//
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace {

// A fresh folder below the user's temporary folder, removed at the end.
class WindowsFolder {
 public:
  WindowsFolder() {
    static int counter = 0;
    path_ = platform::JoinPath(
        platform::PrivateTempFolder().value_or("C:\\"),
        "wtest-" + std::to_string(platform::CurrentProcessId()) + "-" + std::to_string(++counter));
    platform::RemoveTree(path_);
    EXPECT_TRUE(platform::CreateFolders(path_));
  }
  ~WindowsFolder() { platform::RemoveTree(path_); }
  std::string operator/(const std::string& name) const { return platform::JoinPath(path_, name); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

DWORD Attributes(const std::string& path) {
  return ::GetFileAttributesW(platform::WidePath(path).c_str());
}

// The system's own parser of command lines.
std::vector<std::string> SystemSplit(const std::string& line) {
  int count = 0;
  // The first word is parsed by other rules: a plain program name goes first.
  const std::wstring text = L"prog.exe " + platform::Widen(line);
  wchar_t** words = ::CommandLineToArgvW(text.c_str(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(platform::Narrow(words[i]));
  ::LocalFree(words);
  return arguments;
}

TEST(WindowsCommandLine, TheSystemParserReadsTheJoinedArguments) {
  const std::vector<std::vector<std::string>> cases = {
      {"plain", "/s"},
      {"two words", "tab\there"},
      {"", "empty before", ""},
      {"say \"hi\"", "a\"b"},
      {"a\\\"b", "a\\\\\"b", "C:\\dir with blank\\"},
      {"C:\\dir\\", "\\\\server\\share\\x y"},
      {"\xc3\xa4\xe2\x82\xac \xf0\x9f\x98\x80"}};
  for (const auto& arguments : cases)
    EXPECT_EQ(SystemSplit(platform::JoinCommandLine(arguments)), arguments)
        << platform::JoinCommandLine(arguments);
}

class WindowsRegistry : public ::testing::Test {
 protected:
  void TearDown() override {
    auto& registry = platform::SystemRegistry();
    registry.DeleteKey(platform::RegistryRoot::kCurrentUser, key_ + "\\Sub");
    registry.DeleteKey(platform::RegistryRoot::kCurrentUser, key_);
  }
  const std::string key_ =
      "Software\\Velmora\\Tests\\" + std::to_string(platform::CurrentProcessId());
};

TEST_F(WindowsRegistry, ValuesOfEveryTypeRoundTripThroughTheSystemRegistry) {
  using platform::RegistryRoot;
  using platform::RegistryValue;
  auto& registry = platform::SystemRegistry();
  ASSERT_TRUE(registry.CreateKey(RegistryRoot::kCurrentUser, key_ + "\\Sub"));
  const std::vector<std::pair<std::string, RegistryValue>> values = {
      {"", RegistryValue::String("default")},
      {"Text", RegistryValue::String("caf\xc3\xa9 \xe2\x82\xac")},
      {"Empty", RegistryValue::String("")},
      {"Expand", RegistryValue::ExpandString("%TEMP%\\x")},
      {"Multi", RegistryValue::MultiString({"one", "two", "dr\xc3\xa9i"})},
      {"Binary", RegistryValue::Binary(std::string("\x00\x01\xff", 3))},
      {"Dword", RegistryValue::Dword(0x12345678)},
      {"Qword", RegistryValue::Qword(0x1122334455667788ULL)}};
  for (const auto& [name, value] : values) {
    ASSERT_TRUE(registry.SetValue(RegistryRoot::kCurrentUser, key_, name, value)) << name;
    platform::RegistryValueRead read = registry.QueryValue(RegistryRoot::kCurrentUser, key_, name);
    ASSERT_TRUE(read.status) << read.status.message();
    ASSERT_TRUE(read.value) << name;
    EXPECT_EQ(*read.value, value) << name;
  }
  // Names compare without regard to case, as the system's do.
  auto read = registry.QueryValue(RegistryRoot::kCurrentUser, key_, "TEXT");
  ASSERT_TRUE(read.value);
  platform::RegistryKeyRead key = registry.QueryKey(RegistryRoot::kCurrentUser, key_);
  ASSERT_TRUE(key.info);
  EXPECT_EQ(key.info->subkeys, 1u);
  EXPECT_EQ(key.info->values, values.size());

  EXPECT_FALSE(registry.DeleteKey(RegistryRoot::kCurrentUser, key_)) << "a key with subkeys";
  ASSERT_TRUE(registry.DeleteValue(RegistryRoot::kCurrentUser, key_, "Text"));
  EXPECT_FALSE(registry.QueryValue(RegistryRoot::kCurrentUser, key_, "Text").value);
  EXPECT_TRUE(registry.DeleteValue(RegistryRoot::kCurrentUser, key_, "Text")) << "missing is ok";
  ASSERT_TRUE(registry.DeleteKey(RegistryRoot::kCurrentUser, key_ + "\\Sub"));
  ASSERT_TRUE(registry.DeleteKey(RegistryRoot::kCurrentUser, key_));
  EXPECT_FALSE(registry.QueryKey(RegistryRoot::kCurrentUser, key_).info);
  EXPECT_TRUE(registry.DeleteKey(RegistryRoot::kCurrentUser, key_)) << "missing is ok";
  EXPECT_FALSE(registry.SetValue(RegistryRoot::kCurrentUser, key_, "x", RegistryValue::Dword(1)))
      << "a value of a missing key";
}

TEST(WindowsShortcut, ALinkWrittenIsReadBackByTheShell) {
  WindowsFolder folder;
  platform::ShortcutDefinition definition;
  definition.target = platform::ExecutablePath();
  definition.parameters = "--flag \"two words\"";
  definition.link_file = folder / "Menu\\App.desktop";
  definition.description = "The application";
  definition.working_folder = folder.path();
  definition.icon_file = platform::ExecutablePath();
  definition.icon_index = 2;
  definition.show_mode = SW_SHOWMAXIMIZED;
  ASSERT_TRUE(platform::CreateShortcut(definition));
  const std::string link = folder / "Menu\\App.lnk";
  ASSERT_EQ(platform::ShortcutFilePath(definition.link_file), link);
  ASSERT_TRUE(platform::FileExists(link));

  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  IShellLinkW* shell_link = nullptr;
  ASSERT_TRUE(
      SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shell_link))));
  IPersistFile* file = nullptr;
  ASSERT_TRUE(
      SUCCEEDED(shell_link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))));
  ASSERT_TRUE(SUCCEEDED(file->Load(platform::WidePath(link).c_str(), STGM_READ)));
  wchar_t text[MAX_PATH * 2] = {};
  ASSERT_TRUE(SUCCEEDED(shell_link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH)));
  EXPECT_EQ(platform::FoldCase(platform::Narrow(text)), platform::FoldCase(definition.target));
  ASSERT_TRUE(SUCCEEDED(shell_link->GetArguments(text, MAX_PATH * 2)));
  EXPECT_EQ(platform::Narrow(text), definition.parameters);
  ASSERT_TRUE(SUCCEEDED(shell_link->GetDescription(text, MAX_PATH * 2)));
  EXPECT_EQ(platform::Narrow(text), definition.description);
  ASSERT_TRUE(SUCCEEDED(shell_link->GetWorkingDirectory(text, MAX_PATH * 2)));
  EXPECT_EQ(platform::Narrow(text), definition.working_folder);
  int icon = -1;
  ASSERT_TRUE(SUCCEEDED(shell_link->GetIconLocation(text, MAX_PATH * 2, &icon)));
  EXPECT_EQ(icon, 2);
  // The show command is not compared: wine's link object reads every saved
  // one back as SW_SHOWNORMAL.
  file->Release();
  shell_link->Release();
  ::CoUninitialize();
}

TEST(WindowsFiles, ReadOnlyIsTheAttributeAndReplacementKeepsOrDropsIt) {
  WindowsFolder folder;
  const std::string file = folder / "file.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(file, "one"));
  EXPECT_EQ(Attributes(file) & FILE_ATTRIBUTE_READONLY, 0u);
  ASSERT_TRUE(platform::SetReadOnly(file, true));
  EXPECT_NE(Attributes(file) & FILE_ATTRIBUTE_READONLY, 0u);
  // Rewritten, it keeps its attribute; the content is the new one.
  ASSERT_TRUE(platform::WriteFileAtomic(file, "two"));
  EXPECT_EQ(platform::ReadFile(file, 100), "two");
  EXPECT_NE(Attributes(file) & FILE_ATTRIBUTE_READONLY, 0u);
  ASSERT_TRUE(platform::SetReadOnly(file, false));
  EXPECT_EQ(Attributes(file) & FILE_ATTRIBUTE_READONLY, 0u);
  // A read-only intent for a new file.
  const std::string fixed = folder / "fixed.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(fixed, "x", platform::FilePermissions::kReadOnly));
  EXPECT_NE(Attributes(fixed) & FILE_ATTRIBUTE_READONLY, 0u);
  // Removal is the caller's decision, read-only or not.
  ASSERT_TRUE(platform::RemoveFile(fixed));
  EXPECT_FALSE(platform::PathExists(fixed));
  EXPECT_FALSE(platform::SetReadOnly(folder.path(), true)) << "a folder is refused";
  // The writer in pieces gives the committed file the attribute too.
  platform::AtomicFileWriter writer;
  ASSERT_TRUE(writer.Open(folder / "pieces.txt"));
  ASSERT_TRUE(writer.Write("a"));
  ASSERT_TRUE(writer.Commit(platform::FilePermissions::kReadOnly, 1600000000));
  EXPECT_NE(Attributes(folder / "pieces.txt") & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(platform::FileModificationTime(folder / "pieces.txt"), 1600000000);
}

TEST(WindowsFiles, CopyReplacesAReadOnlyDestinationAtOnceAndKeepsItsAttribute) {
  WindowsFolder folder;
  const std::string source = folder / "new.bin";
  const std::string destination = folder / "old.bin";
  ASSERT_TRUE(platform::WriteFileAtomic(source, std::string(100000, 'n')));
  ASSERT_TRUE(platform::WriteFileAtomic(destination, "old"));
  ASSERT_TRUE(platform::SetReadOnly(destination, true));
  ASSERT_TRUE(platform::ReplaceFileWithCopy(source, destination,
                                            platform::CopyPermissions::kKeepDestination));
  EXPECT_EQ(platform::ReadFile(destination, 1 << 20), std::string(100000, 'n'));
  EXPECT_NE(Attributes(destination) & FILE_ATTRIBUTE_READONLY, 0u);
  ASSERT_TRUE(
      platform::ReplaceFileWithCopy(source, destination, platform::CopyPermissions::kFromSource));
  EXPECT_EQ(Attributes(destination) & FILE_ATTRIBUTE_READONLY, 0u);
  // Nothing but the two files is left: the temporary copy was renamed.
  auto names = platform::ListFolder(folder.path());
  ASSERT_TRUE(names);
  EXPECT_EQ(names->size(), 2u);
  // A folder at the destination fails and stays.
  ASSERT_TRUE(platform::CreateFolders(folder / "dir"));
  EXPECT_FALSE(platform::ReplaceFileWithCopy(source, folder / "dir",
                                             platform::CopyPermissions::kFromSource));
  EXPECT_TRUE(platform::FolderExists(folder / "dir"));
}

TEST(WindowsFiles, FactsNameTheSameFileOnEveryPath) {
  WindowsFolder folder;
  const std::string file = folder / "f.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(file, "12345"));
  auto facts = platform::GetFileFacts(file);
  ASSERT_TRUE(facts);
  EXPECT_TRUE(facts->regular);
  EXPECT_EQ(facts->size, 5u);
  EXPECT_TRUE(platform::IsSameFile(file, folder.path() + "/./f.txt"));
  ASSERT_TRUE(platform::SetFileModificationTime(file, 1600000000));
  EXPECT_EQ(platform::FileModificationTime(file), 1600000000);
  EXPECT_TRUE(platform::FreeDiskSpace(folder.path()).value_or(0) > 0);
}

TEST(WindowsPaths, SpecialFoldersAreAbsoluteWindowsFolders) {
  const platform::SpecialFolders folders = platform::GetSpecialFolders();
  for (const std::string& folder : {folders.program_files, folders.system, folders.user_profile,
                                    folders.app_data, folders.common_app_data, folders.start_menu,
                                    folders.desktop, folders.common_start_menu, folders.windows}) {
    EXPECT_TRUE(platform::IsAbsolutePath(folder)) << folder;
    EXPECT_EQ(folder.find('/'), std::string::npos) << folder;
  }
  EXPECT_EQ(platform::ExecutableSuffix(), ".exe");
  EXPECT_TRUE(platform::FileExists(platform::ExecutablePath()));
  EXPECT_EQ(platform::FullPath("C:/a/./b/../c"), "C:\\a\\c");
  EXPECT_TRUE(platform::ReadFileVersion(platform::JoinPath(folders.system, "kernel32.dll")));
}

// The copy started by the test below: it holds until the parent lets go of the lock.
TEST(WindowsChild, DISABLED_WaitsForTheLock) {
  auto lock = platform::GetEnv("VELMORA_WTEST_LOCK");
  ASSERT_TRUE(lock);
  platform::FileLock held;
  ASSERT_TRUE(held.Acquire(*lock, 60000));
}

TEST(WindowsProcesses, ACopyStartedUnderTheApplicationsNameIsFoundAndEnded) {
  WindowsFolder folder;
  const std::string program = folder / "Served App.exe";
  ASSERT_TRUE(platform::ReplaceFileWithCopy(platform::ExecutablePath(), program,
                                            platform::CopyPermissions::kFromSource));
  const std::string lock_path = folder / "lock";
  platform::FileLock lock;
  ASSERT_TRUE(lock.Acquire(lock_path, 0));
  ASSERT_TRUE(
      ::SetEnvironmentVariableW(L"VELMORA_WTEST_LOCK", platform::WidePath(lock_path).c_str()));
  platform::StartResult started = platform::StartProgram(
      program, {"--gtest_also_run_disabled_tests", "--gtest_filter=WindowsChild.*"}, "");
  ASSERT_TRUE(started.status) << started.status.message();

  const auto found = platform::UsersProcessesRunning(
      platform::ListProcesses(), platform::CurrentProcessId(), "served app.exe");
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].pid, started.pid);
  EXPECT_TRUE(found[0].own);
  EXPECT_EQ(platform::FoldCase(found[0].executable), platform::FoldCase(program));
  EXPECT_EQ(platform::UsersProcessesRunning(platform::ListProcesses(), platform::CurrentProcessId(),
                                            program)
                .size(),
            1u);

  // No window to close: asking fails, ending works.
  EXPECT_FALSE(platform::TerminateProcess(found[0], false));
  ASSERT_TRUE(platform::TerminateProcess(found[0], true));
  EXPECT_TRUE(platform::WaitForProcessesToEnd({started.pid}, 30000));
  EXPECT_EQ(platform::WaitForProcess(started.pid, 30000), 1);
}

TEST(WindowsProcesses, AStartedCopyGetsItsArgumentsAndExitCode) {
  WindowsFolder folder;
  const std::string program = folder / "Served App.exe";
  ASSERT_TRUE(platform::ReplaceFileWithCopy(platform::ExecutablePath(), program,
                                            platform::CopyPermissions::kFromSource));
  const std::string lock_path = folder / "free lock";
  ASSERT_TRUE(
      ::SetEnvironmentVariableW(L"VELMORA_WTEST_LOCK", platform::WidePath(lock_path).c_str()));
  platform::StartResult started = platform::StartProgram(
      program, {"--gtest_also_run_disabled_tests", "--gtest_filter=WindowsChild.*"}, folder.path());
  ASSERT_TRUE(started.status) << started.status.message();
  EXPECT_EQ(platform::WaitForProcess(started.pid, 60000), 0);
  EXPECT_TRUE(platform::FileExists(lock_path));
}

}  // namespace
