#include "updater/process/finish_update.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/posix/desktop_entry.h"
#include "platform/posix/restart_entry.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "updater/core/dialog_service.h"
#include "updater/core/ini_file.h"
#include "updater/core/language.h"
#include "updater/core/updater_settings.h"
#include "updater/description/installed_sections.h"
#include "updater/description/update_file_data.h"
#include "updater/process/temporary_update_files.h"

namespace {

using Lines = std::vector<std::string>;

// Records what the finishing work asked of the system, in order. Shortcuts,
// settings, restore information and the restart entry are written as real
// files below the test's folder; nothing is started and nothing restarts.
class FakeServices : public IFinishUpdateServices {
 public:
  FakeServices(const TempFolder& folder, Lines& calls) : folder_(folder), calls_(calls) {}

  bool CreateShortcut(const platform::ShortcutDefinition& shortcut) override {
    calls_.push_back("shortcut " + shortcut.link_file);
    return platform::CreateShortcut(shortcut).ok();
  }
  bool WriteSetting(const std::string& file, const std::string& group, const std::string& key,
                    const std::string& value) override {
    return WriteSettingsValue(file, group, key, value);
  }
  bool WriteRestoreInfo(const std::string& path) override {
    calls_.push_back("restore info " + path);
    return platform::WriteFileAtomic(path, "<RESTOREINFO />").ok();
  }
  bool FileExists(const std::string& path) override { return platform::FileExists(path); }
  bool IsProcessRunning(const std::string&) override { return running; }
  bool ApplicationClosed() override { return closed; }
  void StartApplication(const std::string& location, const std::string& folder) override {
    calls_.push_back("start " + location + " in " + folder);
  }
  bool WriteRestartEntry(const std::string& location) override {
    calls_.push_back("restart entry " + location);
    return platform::WriteRestartEntry(location, EntryPath(), "/opt/velmora/Velmora Updater").ok();
  }
  bool RestartSystem() override {
    calls_.push_back("restart system");
    return false;  // refused: the work ends normally
  }

  std::string EntryPath() const { return folder_ / "autostart/velmora-updater-restart.desktop"; }

  bool running = false;
  bool closed = true;

 private:
  const TempFolder& folder_;
  Lines& calls_;
};

class FakeDialogs : public IDialogService {
 public:
  explicit FakeDialogs(Lines& calls) : calls_(calls) {}
  void ShowError(const ErrorDialogRequest&) override {}
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest&) override {
    return MessageBoxAnswer::kOk;
  }
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>&,
                                            std::size_t) override {
    return std::nullopt;
  }
  void ShowInformation(const InformationDialogRequest& request) override {
    calls_.push_back("information dialog");
    shown.push_back(request);
  }
  std::vector<InformationDialogRequest> shown;

 private:
  Lines& calls_;
};

class FinishUpdate : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_file =
        folder.Write("updater/settings.ini", "[APPLICATION]\r\nNAME=Velmora\r\nVERSION=1.0\r\n");
    settings.name = "Velmora";
    settings.version = "1.0";
    settings.run_mode = "hidden";
    settings.location = folder.Write("app/velmora", "program");
    update.version = "1.0";
    ASSERT_TRUE(platform::CreateFolders(folder / "updatertemp"));
  }

  // By default the user's temporary folder is "updatertemp/" itself.
  CFinishUpdate Make(const std::string& temp = "updatertemp/") {
    return CFinishUpdate(FinishUpdateInputs{.update_file = update,
                                            .settings = settings,
                                            .installed_sections = sections,
                                            .temporary_files = temporary_files,
                                            .dialogs = dialogs,
                                            .language = language,
                                            .settings_file = settings_file,
                                            .updater_folder = folder / "updater/",
                                            .updater_temp_folder = folder / "updatertemp/",
                                            .temp_folder = folder / temp},
                         services);
  }

  CShortcutData Shortcut(const std::string& name) const {
    CShortcutData shortcut;
    shortcut.target_file = settings.location;
    shortcut.parameters = "--fresh";
    shortcut.link_file = folder / ("menu/" + name + ".lnk");
    shortcut.description = name + " shortcut";
    shortcut.working_directory = folder / "app";
    shortcut.icon_file = settings.location;
    return shortcut;
  }

  TempFolder folder;
  LogCapture log;
  Lines calls;
  FakeServices services{folder, calls};
  FakeDialogs dialogs{calls};
  CLanguage language;
  CUpdateFileData update;
  SettingsValues settings;
  CInstalledSections sections;
  CTemporaryUpdateFiles temporary_files;
  std::string settings_file;
};

TEST_F(FinishUpdate, WritesEveryLineOfTheWorkInOrder) {
  update.version = "1.1";
  update.shortcuts = {Shortcut("Velmora"), Shortcut("Velmora Help")};
  update.enable_rollback = true;
  update.close_application = CloseApplicationMode::Restart;
  sections.SetVersion("core", "1.1");
  temporary_files.Add(folder.Write("updatertemp/core.zip", "zip"));

  EXPECT_TRUE(Make().Run());

  EXPECT_EQ(
      log.Lines(),
      (Lines{"create shortcut Velmora shortcut", "create shortcut Velmora Help shortcut",
             "new version (1.1) is updated in settings file",
             "written section file to sections_%name%.xml",
             "rollback is enabled, save restore information to restoreinfo.xml",
             "temporary update files deleted", "restart application (" + settings.location + ")"}));
  EXPECT_EQ(calls, (Lines{"shortcut " + (folder / "menu/Velmora.lnk"),
                          "shortcut " + (folder / "menu/Velmora Help.lnk"),
                          "restore info " + (folder / "updatertemp/restoreinfo.xml"),
                          "start " + settings.location + " in " + (folder / "app")}));
  EXPECT_TRUE(platform::FileExists(folder / "updater/sections_Velmora.xml"));
  EXPECT_TRUE(platform::FileExists(folder / "updatertemp/restoreinfo.xml"));
  EXPECT_FALSE(platform::PathExists(folder / "updatertemp/core.zip"));
}

struct VersionCase {
  std::string name;
  std::string settings_version;  // "<file>": read from a program file (version 1.0)
  std::string update_version;
  std::optional<std::string> written;
  bool refused = false;  // the settings file refused the write: a failure
};

class FinishUpdateVersion : public FinishUpdate,
                            public ::testing::WithParamInterface<VersionCase> {};

TEST_P(FinishUpdateVersion, IsRecordedOnlyWhenNewer) {
  const VersionCase& c = GetParam();
  // The reader has replaced a program file's path by its version text.
  const bool from_file = c.settings_version == "<file>";
  settings.version = from_file ? "1.0" : c.settings_version;
  if (from_file) settings.version_file = settings.location;
  update.version = c.update_version;
  const std::string before = folder.Read("updater/settings.ini");

  EXPECT_EQ(Make().RecordNewVersion(), !c.refused);

  const std::string after = folder.Read("updater/settings.ini");
  if (c.written) {
    EXPECT_EQ(ReadIniValue(settings_file, "APPLICATION", "version", "-"), *c.written);
    EXPECT_NE(after.find("[APPLICATION]\r\nNAME=Velmora\r\nversion=" + *c.written + "\r\n"),
              std::string::npos);
    EXPECT_EQ(log.Lines(), Lines{"new version (" + *c.written + ") is updated in settings file"});
  } else if (c.refused) {
    EXPECT_EQ(after, before);
    EXPECT_EQ(log.Lines(),
              Lines{"new version could not be written to the settings file " + settings_file});
  } else {
    EXPECT_EQ(after, before);
    EXPECT_TRUE(log.Lines().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FinishUpdateVersion,
    ::testing::Values(VersionCase{"Newer", "1.0", "1.1", "1.1"},
                      VersionCase{"NewerByLaterPart", "1.0", "1.0.0.1", "1.0.0.1"},
                      VersionCase{"Equal", "1.0", "1.0", std::nullopt},
                      VersionCase{"EqualWithMoreParts", "1.0", "1.0.0.0", std::nullopt},
                      VersionCase{"Older", "1.1", "1.0", std::nullopt},
                      VersionCase{"VersionIsAFilePath", "<file>", "9.9", std::nullopt},
                      VersionCase{"LineBreakRefused", "1.0", "1.1\r\nLOCATION=/bin/evil",
                                  std::nullopt, true},
                      VersionCase{"NoUpdateFileVersion", "1.0", "", std::nullopt}),
    [](const auto& info) { return info.param.name; });

TEST_F(FinishUpdate, AVersionThatCannotBeRecordedFailsTheWorkAfterEveryStep) {
  update.version = "1.1\nLOCATION=/bin/evil";
  sections.SetVersion("core", "1.1");
  temporary_files.Add(folder.Write("updatertemp/core.zip", "zip"));
  EXPECT_FALSE(Make().Run());
  EXPECT_TRUE(platform::FileExists(folder / "updater/sections_Velmora.xml"));
  EXPECT_FALSE(platform::PathExists(folder / "updatertemp/core.zip"));

  update.version = "1.1";
  EXPECT_TRUE(Make().Run());
}

TEST_F(FinishUpdate, ShortcutsAreCreatedOnlyWhenAccepted) {
  update.shortcuts = {Shortcut("Velmora"), Shortcut("Velmora Help")};
  update.shortcuts[0].link_file = folder / "not-a-folder/Broken.lnk";
  folder.Write("not-a-folder", "a file");

  update.shortcuts_accepted = false;
  Make().CreateShortcuts();
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_FALSE(platform::PathExists(folder / "menu"));

  update.shortcuts_accepted = true;
  Make().CreateShortcuts();
  // The first fails and the second is still created.
  EXPECT_EQ(log.Lines(),
            (Lines{"create shortcut Velmora shortcut", "create shortcut Velmora Help shortcut"}));
  const auto entry = platform::ParseDesktopEntry(folder.Read("menu/Velmora Help.desktop"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(*entry, (std::map<std::string, std::string>{
                        {"Type", "Application"},
                        {"Name", "Velmora Help shortcut"},
                        {"Comment", "Velmora Help shortcut"},
                        {"Exec", "\"" + settings.location + "\" \"--fresh\""},
                        {"Path", folder / "app"},
                        {"Icon", settings.location}}));
}

TEST_F(FinishUpdate, InstalledSectionsAreWrittenBesideTheUpdater) {
  Make().WriteInstalledSections();  // an empty table writes nothing
  EXPECT_FALSE(platform::PathExists(folder / "updater/sections_Velmora.xml"));
  EXPECT_TRUE(log.Lines().empty());

  sections.SetVersion("core", "2.0");
  sections.SetVersion("help", "1.5");
  Make().WriteInstalledSections();
  CInstalledSections read;
  read.Load(folder / "updater/sections_Velmora.xml");
  EXPECT_EQ(read.Entries(), sections.Entries());
  EXPECT_EQ(log.Lines(), Lines{"written section file to sections_%name%.xml"});
}

TEST_F(FinishUpdate, RestoreInformationOnlyWhenRollbackIsEnabled) {
  update.enable_rollback = false;
  sections.SetVersion("core", "2.0");
  Make().Run();
  EXPECT_FALSE(platform::PathExists(folder / "updatertemp/restoreinfo.xml"));
  for (const std::string& line : log.Lines()) {
    EXPECT_EQ(line.find("rollback"), std::string::npos) << line;
    EXPECT_EQ(line.find("restoreinfo"), std::string::npos) << line;
  }
  EXPECT_TRUE(calls.empty());
}

TEST_F(FinishUpdate, DeletesOnlyTemporaryFilesInsideTheTemporaryFolder) {
  TempFolder outside;
  const std::string inside = folder.Write("updatertemp/app.bin", "1");
  const std::string nested = folder.Write("updatertemp/sections/core.zip", "2");
  const std::string foreign = outside.Write("keep.txt", "precious");
  folder.Write("keep-beside.txt", "precious");
  ASSERT_EQ(symlink(outside.path().c_str(), (folder / "updatertemp/linked").c_str()), 0);
  ASSERT_EQ(symlink(foreign.c_str(), (folder / "updatertemp/file-link").c_str()), 0);
  ASSERT_TRUE(platform::CreateFolders(folder / "updatertemp/a-folder"));
  for (const std::string& path :
       {inside, nested, foreign, folder / "updatertemp/../keep-beside.txt",
        folder / "updatertemp/linked/keep.txt", folder / "updatertemp/file-link",
        folder / "updatertemp/a-folder", folder / "updatertemp/missing.bin"})
    temporary_files.Add(path);

  Make().DeleteTemporaryFiles();

  EXPECT_FALSE(platform::PathExists(inside));
  EXPECT_FALSE(platform::PathExists(nested));
  EXPECT_FALSE(platform::PathExists(folder / "updatertemp/file-link"));  // the link only
  EXPECT_EQ(outside.Read("keep.txt"), "precious");
  EXPECT_EQ(folder.Read("keep-beside.txt"), "precious");
  EXPECT_TRUE(platform::FolderExists(folder / "updatertemp/a-folder"));
  EXPECT_EQ(temporary_files.Size(), 0u);
  EXPECT_EQ(log.Lines(), Lines{"temporary update files deleted"});
}

// Downloads named "%temp%name" lie beside the updater's own temporary folder
// and go; one named "%app%name" is part of the application and stays.
TEST_F(FinishUpdate, DeletesTemporaryFilesOfTheUsersTemporaryFolderOnly) {
  const std::string in_temp = folder.Write("tmp/direct.bin", "1");
  const std::string in_updater_temp = folder.Write("tmp/updater_temp_1/a.bin", "2");
  const std::string in_app = folder.Write("app/plugin.bin", "kept");
  for (const std::string& path : {in_temp, in_updater_temp, in_app}) temporary_files.Add(path);

  Make("tmp/").DeleteTemporaryFiles();

  EXPECT_FALSE(platform::PathExists(in_temp));
  EXPECT_FALSE(platform::PathExists(in_updater_temp));
  EXPECT_EQ(folder.Read("app/plugin.bin"), "kept");
}

struct InsideCase {
  std::string path;
  std::string folder;
  bool inside;
};

class LiesInsideFolderTable : public ::testing::TestWithParam<InsideCase> {};

TEST_P(LiesInsideFolderTable, ComparesFullNormalisedPaths) {
  EXPECT_EQ(LiesInsideFolder(GetParam().path, GetParam().folder), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LiesInsideFolderTable,
    ::testing::Values(InsideCase{"/tmp/velmora-none/u/a.zip", "/tmp/velmora-none/u/", true},
                      InsideCase{"/tmp/velmora-none/u/a.zip", "/tmp/velmora-none/u", true},
                      InsideCase{"/tmp/velmora-none/u//x/./a.zip", "/tmp/velmora-none/u/", true},
                      InsideCase{"\\tmp\\velmora-none\\u\\a.zip", "/tmp/velmora-none/u/", true},
                      InsideCase{"/tmp/velmora-none/u/", "/tmp/velmora-none/u/", false},
                      InsideCase{"/tmp/velmora-none/u", "/tmp/velmora-none/u/", false},
                      InsideCase{"/tmp/velmora-none/u2/a.zip", "/tmp/velmora-none/u/", false},
                      InsideCase{"/tmp/velmora-none/u/../a.zip", "/tmp/velmora-none/u/", false},
                      InsideCase{"/etc/passwd", "/tmp/velmora-none/u/", false},
                      InsideCase{"a.zip", "", false}, InsideCase{"", "/tmp/", false}));

struct RestartCase {
  bool closed;
  bool running;
  bool exists;
  bool started;
};

class FinishUpdateRestart : public FinishUpdate,
                            public ::testing::WithParamInterface<RestartCase> {};

TEST_P(FinishUpdateRestart, StartsTheApplicationOnlyWhenTheUpdaterClosedIt) {
  const RestartCase& c = GetParam();
  update.close_application = CloseApplicationMode::Restart;
  services.closed = c.closed;
  services.running = c.running;
  if (!c.exists) settings.location = folder / "app/missing";

  Make().Restart();

  EXPECT_EQ(log.Lines(), Lines{"restart application (" + settings.location + ")"});
  EXPECT_EQ(calls,
            c.started ? Lines{"start " + settings.location + " in " + (folder / "app")} : Lines{});
}

INSTANTIATE_TEST_SUITE_P(Cases, FinishUpdateRestart,
                         ::testing::Values(RestartCase{true, false, true, true},
                                           RestartCase{false, false, true, false},
                                           RestartCase{true, true, true, false},
                                           RestartCase{true, false, false, false}));

struct SystemRestartCase {
  std::string run_mode;
  bool dialog;
};

class FinishUpdateSystemRestart : public FinishUpdate,
                                  public ::testing::WithParamInterface<SystemRestartCase> {};

TEST_P(FinishUpdateSystemRestart, InformsInTheModesWithWindowsThenRestarts) {
  settings.run_mode = GetParam().run_mode;
  update.close_application = CloseApplicationMode::RestartSystem;

  Make().Restart();

  EXPECT_EQ(log.Lines(), Lines{"restart system"});
  if (GetParam().dialog) {
    EXPECT_EQ(calls, (Lines{"information dialog", "restart system"}));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const InformationDialogRequest& shown = dialogs.shown[0];
    EXPECT_EQ(shown.caption, "Information");
    EXPECT_EQ(shown.heading, "Restart system");
    EXPECT_EQ(shown.text,
              "To complete the update of Velmora, the system needs to be restarted.\n\n"
              "When you close this dialog, the system will restart.");
    EXPECT_EQ(shown.button_text, "OK");
  } else {
    EXPECT_EQ(calls, Lines{"restart system"});
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, FinishUpdateSystemRestart,
                         ::testing::Values(SystemRestartCase{"full", true},
                                           SystemRestartCase{"silent", true},
                                           SystemRestartCase{"verysilent", false},
                                           SystemRestartCase{"hidden", false},
                                           SystemRestartCase{"Full", false}));

TEST_F(FinishUpdate, RestartSystemAppWritesTheAutostartEntryFirst) {
  settings.run_mode = "silent";
  update.close_application = CloseApplicationMode::RestartSystemApp;

  Make().Restart();

  EXPECT_EQ(log.Lines(), Lines{"restart system and run application (" + settings.location +
                               ") at next startup"});
  EXPECT_EQ(calls,
            (Lines{"restart entry " + settings.location, "information dialog", "restart system"}));
  const auto entry =
      platform::ParseDesktopEntry(folder.Read("autostart/velmora-updater-restart.desktop"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->at("Name"), "Updater application restart");
  EXPECT_EQ(entry->at(platform::kRestartEntryApplicationKey), settings.location);
  EXPECT_EQ(platform::TakeRestartEntry(services.EntryPath()), settings.location);
}

TEST_F(FinishUpdate, OtherModesRestartNothing) {
  for (CloseApplicationMode mode : {CloseApplicationMode::Close, CloseApplicationMode::DoNotClose,
                                    CloseApplicationMode::User}) {
    update.close_application = mode;
    Make().Restart();
  }
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
