#include "updater/core/updater_app.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "tests/support/environment.h"
#include "tests/support/fake_clock.h"
#include "tests/support/file_traits.h"
#include "tests/support/native_path.h"
#include "tests/support/temp_folder.h"
#include "updater/core/command_line_parser.h"
#include "updater/core/language.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"

namespace {

// Records the dialogs of the start-up; the language dialog picks a display name.
class RecordingDialogs : public IDialogService {
 public:
  void ShowError(const ErrorDialogRequest& request) override { errors.push_back(request); }
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) override {
    boxes.push_back(request);
    return MessageBoxAnswer::kOk;
  }
  std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>& choices,
                                            std::size_t) override {
    ++language_dialogs;
    for (std::size_t i = 0; i < choices.size(); ++i) {
      if (choices[i].display_name == choose) return i;
    }
    return std::nullopt;
  }

  std::vector<ErrorDialogRequest> errors;
  std::vector<MessageBoxRequest> boxes;
  int language_dialogs = 0;
  std::string choose;  // display name to pick; "" closes the dialog without a choice
};

std::string LanguageFile(const std::string& display_name) {
  return "<?xml version=\"1.0\"?>\n<UPDATERLANGUAGE><INFO><LANGUAGE>" + display_name +
         "</LANGUAGE><VERSION>0.8.1.5</VERSION><TRANSLATOR>T</TRANSLATOR></INFO>"
         "<DATA><IDS_GENERAL_OK>Gut</IDS_GENERAL_OK></DATA></UPDATERLANGUAGE>\n";
}

std::vector<std::string> Sorted(std::optional<std::vector<std::string>> names) {
  std::vector<std::string> out = names.value_or(std::vector<std::string>{});
  std::sort(out.begin(), out.end());
  return out;
}

// The variables that name the user's temporary folder (TMPDIR on Linux, TMP
// and TEMP on Windows) and home folder.
constexpr const char* kFolderVariables[] = {"TMPDIR", "TMP", "TEMP", "HOME"};

// A program folder "app" and a private temporary folder below one test folder,
// with the temporary and home folder variables pointing into it and every
// process-wide object fresh.
class UpdaterAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::CreateFolders(root_ / "tmp");
    platform::CreateFolders(root_ / "home");
    platform::CreateFolders(root_ / "app");
    for (const char* name : kFolderVariables) {
      saved_.emplace_back(name, platform::GetEnv(name));
      test_support::SetEnvironmentVariable(name,
                                           root_ / (name == std::string("HOME") ? "home" : "tmp"));
    }
    temp_ = platform::PrivateTempFolder().value_or("");
    ASSERT_FALSE(temp_.empty());
    ASSERT_EQ(temp_.rfind(root_ / "tmp", 0), 0u) << temp_;
    ResetSingletons();
    SetDialogService(&dialogs_);
  }

  void TearDown() override {
    SetDialogService(nullptr);
    ResetSingletons();
    for (const auto& [name, value] : saved_) {
      if (value) {
        test_support::SetEnvironmentVariable(name, *value);
      } else {
        test_support::RemoveEnvironmentVariable(name);
      }
    }
  }

  static void ResetSingletons() {
    CUpdaterLog::ResetInstance();
    CUpdaterSettings::ResetInstance();
    CUpdaterPaths::ResetInstance();
    CLanguage::ResetInstance();
  }

  std::string Program() const { return root_ / "app/Velmora Updater"; }

  // The dependencies of a run; `ran` counts the update runs.
  UpdaterAppDeps Deps() {
    UpdaterAppDeps deps;
    deps.session_available = [] { return true; };
    deps.init_paths = [this] {
      SystemFolders system;
      system.executable = Program();
      system.temp = temp_;
      system.special = platform::GetSpecialFolders();
      return CUpdaterPaths::Instance().Init(system);
    };
    deps.run_update = [this] {
      ++ran_;
      if (during_run_) during_run_();
      return run_status_;
    };
    deps.system_language = [this] { return system_language_; };
    deps.clock = &clock_;
    deps.dialogs = &dialogs_;
    return deps;
  }

  void WriteSettings(const std::string& name, const std::string& extra = "") {
    root_.Write("app/settings.ini", "[APPLICATION]\nNAME=" + name + "\nVERSION=1.0\n" + extra);
  }

  std::string LogPath(const std::string& name) const { return temp_ + "/" + LogFileName(name); }
  std::string ReadLog(const std::string& name) const {
    return DecodeTextFile(platform::ReadFile(LogPath(name), 1 << 20).value_or(""));
  }

  TempFolder root_;
  std::string temp_;
  RecordingDialogs dialogs_;
  FakeClock clock_;
  int ran_ = 0;
  int run_status_ = kExitOk;  // what the run reports
  std::function<void()> during_run_;
  std::uint16_t system_language_ = 0x0409;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(UpdaterAppTest, NoInteractiveSessionEndsSilentlyWithoutLog) {
  WriteSettings("Quiet");
  UpdaterAppDeps deps = Deps();
  deps.session_available = [] { return false; };
  CUpdaterApp app("-mode hidden", deps);

  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), 0);
  EXPECT_EQ(ran_, 0);
  EXPECT_TRUE(dialogs_.errors.empty());
  EXPECT_FALSE(platform::PathExists(LogPath("Quiet")));
  EXPECT_FALSE(platform::PathExists(LogPath("Unknown app")));
  EXPECT_EQ(CUpdaterSettings::Instance().Values().name, "Unknown app");
}

TEST_F(UpdaterAppTest, PathTableFailureEndsSilently) {
  UpdaterAppDeps deps = Deps();
  deps.init_paths = [] { return false; };
  CUpdaterApp app("", deps);
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), kExitFailed);
  EXPECT_EQ(ran_, 0);
  EXPECT_TRUE(dialogs_.errors.empty());
}

struct BadCommandLine {
  const char* command_line;
  const char* exception_message;
};

class UpdaterAppParameterError : public UpdaterAppTest,
                                 public ::testing::WithParamInterface<BadCommandLine> {};

TEST_P(UpdaterAppParameterError, ShowsTheDialogOnceAndDoesNotReadTheSettings) {
  WriteSettings("FromFile");
  CUpdaterApp app(GetParam().command_line, Deps());

  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), kExitWrongCommandLine);
  EXPECT_EQ(ran_, 0);
  ASSERT_EQ(dialogs_.errors.size(), 1u);
  const ErrorDialogRequest& shown = dialogs_.errors[0];
  EXPECT_EQ(shown.caption, "Parameter parsing error");
  EXPECT_EQ(shown.heading, CLanguage::Instance().GetText(IDS_ERROR_TITLE));
  EXPECT_FALSE(shown.heading.empty());
  EXPECT_EQ(shown.message, std::string("The following exception occurred when parsing "
                                       "parameters:\n\n\"") +
                               GetParam().exception_message +
                               "\".\nCommandline: " + GetParam().command_line);
  EXPECT_EQ(shown.detail,
            "Check if the parameters being used are correct.\n\nIf the error keeps occurring, "
            "contact the developer. ");
  EXPECT_EQ(shown.ok_text, "OK");
  EXPECT_EQ(shown.more_text, CLanguage::Instance().GetText(IDS_ERROR_MORE));
  // The settings file was not read.
  EXPECT_EQ(CUpdaterSettings::Instance().Values().name, "Unknown app");
  EXPECT_TRUE(CUpdaterSettings::Instance().ChosenFile().empty());
  EXPECT_FALSE(platform::PathExists(LogPath("FromFile")));
}

INSTANTIATE_TEST_SUITE_P(
    Parser, UpdaterAppParameterError,
    ::testing::Values(BadCommandLine{"-mode hidden -bogus", "Unknown parameters are used"},
                      BadCommandLine{"-log -log", "Parameters are used twice"},
                      BadCommandLine{"-mode", "Value was expected, but none was given"},
                      BadCommandLine{"-timeout abc", "Wrong parameter type is used"}));

TEST(ParameterErrorRequest, SecondPassHasItsOwnHint) {
  ErrorDialogRequest first =
      ParameterErrorRequest("Unknown parameters are used", "-x %s %d", CommandLinePass::kFirst);
  ErrorDialogRequest second =
      ParameterErrorRequest("Unknown parameters are used", "-x %s %d", CommandLinePass::kSecond);
  EXPECT_EQ(second.detail,
            "Check if the parameters being used are correct.\n\nIf the error keeps occurring, "
            "contact the developer at. ");
  EXPECT_NE(first.detail, second.detail);
  // Everything else is the same; the command line is taken as text, not as a format.
  EXPECT_EQ(second.caption, first.caption);
  EXPECT_EQ(second.message,
            "The following exception occurred when parsing parameters:\n\n\"Unknown parameters are "
            "used\".\nCommandline: -x %s %d");
  EXPECT_EQ(second.message, first.message);
  EXPECT_EQ(second.ok_text, first.ok_text);
  EXPECT_EQ(second.more_text, first.more_text);
}

TEST_F(UpdaterAppTest, MissingSettingsFileOptionFallsBackToTheOneBesideTheProgram) {
  WriteSettings("Beside");
  std::string other = root_.Write("elsewhere/other.ini", "[APPLICATION]\nNAME=Other\n");
  struct Case {
    std::string command_line;
    std::string chosen;
    std::string name;
  };
  const Case cases[] = {
      {"-settingsfile \"" + (root_ / "missing/none.ini") + "\"", root_ / "app/settings.ini",
       "Beside"},
      {"-settingsfile \"" + other + "\"", other, "Other"},
      {"", root_ / "app/settings.ini", "Beside"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_line);
    ResetSingletons();
    CUpdaterApp app(c.command_line, Deps());
    EXPECT_TRUE(app.InitInstance());
    EXPECT_EQ(app.ExitInstance(), 0);
    EXPECT_EQ(CUpdaterSettings::Instance().ChosenFile(), c.chosen);
    EXPECT_EQ(CUpdaterSettings::Instance().Values().name, c.name);
    EXPECT_TRUE(platform::FileExists(LogPath(c.name)));
  }
  EXPECT_TRUE(dialogs_.errors.empty());
}

TEST_F(UpdaterAppTest, CommandLineOverridesTheSettingsFile) {
  WriteSettings("FromFile", "[UPDATER]\nRUNMODE=full\n");
  CUpdaterApp app("-mode hidden -appname Given", Deps());
  EXPECT_TRUE(app.InitInstance());
  EXPECT_EQ(CUpdaterSettings::Instance().Values().run_mode, "hidden");
  EXPECT_EQ(CUpdaterSettings::Instance().Values().name, "Given");
  EXPECT_TRUE(platform::FileExists(LogPath("Given")));
  EXPECT_FALSE(platform::PathExists(LogPath("FromFile")));
}

TEST_F(UpdaterAppTest, RunWritesHeaderFooterAndElapsedTimeOfTheClock) {
  WriteSettings("Timed");
  during_run_ = [this] {
    EXPECT_TRUE(CUpdaterLog::Instance().IsOpen());
    CUpdaterLog::Instance().WriteLine("inside the run");
    clock_.Advance(3600000);
  };
  CUpdaterApp app("-mode hidden", Deps());
  EXPECT_TRUE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), 0);
  EXPECT_EQ(ran_, 1);
  EXPECT_FALSE(CUpdaterLog::Instance().IsOpen());

  const std::string log = ReadLog("Timed");
  EXPECT_EQ(
      log.rfind("UPDATER LOG FILE\r\n================\r\n\r\nCommandline: -mode hidden\r\n", 0),
      0u);
  // Lines of the run carry a time stamp, the header and footer do not.
  EXPECT_NE(log.find(" => inside the run\r\n"), std::string::npos);
  EXPECT_NE(
      log.find("\r\n" + std::string(37, '-') + "\r\nUpdate took 1:00:00:000 (hh:mm:ss:ms)\r\n" +
               std::string(37, '-') + "\r\n\r\nClose Updater\r\n"),
      std::string::npos);
  // The texts of the language file are dropped at the end.
  EXPECT_EQ(CLanguage::Instance().GetLanguageName(), "");
}

TEST_F(UpdaterAppTest, RemovesTheCopyProgramOfAnEarlierSelfUpdate) {
  WriteSettings("Copy");
  const std::string copy = temp_ + "/Tolvaric" + platform::ExecutableSuffix();
  ASSERT_TRUE(platform::WriteFileAtomic(copy, "old"));
  CUpdaterApp app("", Deps());
  EXPECT_TRUE(app.InitInstance());
  EXPECT_FALSE(platform::PathExists(copy));
}

TEST_F(UpdaterAppTest, EmptiesTheApplicationsTemporaryFolderWithoutFollowingLinks) {
  WriteSettings("Tidy");
  const std::string own = temp_ + "/updater_temp_Tidy";
  const std::string other = temp_ + "/updater_temp_Other";
  ASSERT_TRUE(platform::CreateFolders(own + "/0.9/rollback/deep"));
  ASSERT_TRUE(platform::CreateFolders(own + "/.cache"));
  ASSERT_TRUE(platform::CreateFolders(other + "/1.0"));
  root_.Write("outside/keep.txt", "keep");
  root_.Write("outside/keep-file.txt", "keep");
  ASSERT_TRUE(platform::WriteFileAtomic(own + "/0.9/download.bin", "old"));
  ASSERT_TRUE(platform::WriteFileAtomic(own + "/0.9/rollback/deep/r.bin", "old"));
  ASSERT_TRUE(platform::WriteFileAtomic(own + "/.hidden", "dot"));
  ASSERT_TRUE(platform::WriteFileAtomic(own + "/.cache/x", "dot"));
  ASSERT_TRUE(platform::WriteFileAtomic(other + "/1.0/stays.bin", "other"));
  if (test_support::SymbolicLinksAvailable()) {
    std::filesystem::create_directory_symlink(root_ / "outside", own + "/0.9/link-to-folder");
    std::filesystem::create_symlink(root_ / "outside/keep-file.txt", own + "/link-to-file");
    std::filesystem::create_symlink(root_ / "nowhere", own + "/dangling");
  }

  std::vector<std::string> during;
  std::vector<std::string> version_folder;
  during_run_ = [&] {
    during = Sorted(platform::ListFolder(own));
    version_folder = Sorted(platform::ListFolder(own + "/1.0"));
  };
  CUpdaterApp app("", Deps());
  EXPECT_TRUE(app.InitInstance());

  // Only this run's folders, made again after the clean-up, are left.
  EXPECT_EQ(during, std::vector<std::string>{"1.0"});
  EXPECT_EQ(version_folder, std::vector<std::string>{"rollback"});
  EXPECT_TRUE(platform::FolderExists(own));
  // The targets of the links and other applications' folders are untouched.
  EXPECT_EQ(root_.Read("outside/keep.txt"), "keep");
  EXPECT_EQ(root_.Read("outside/keep-file.txt"), "keep");
  EXPECT_TRUE(platform::FileExists(other + "/1.0/stays.bin"));
}

// What must outlive the emptying (the parts of cut-off downloads) is moved out
// just before it, under the run lock.
TEST_F(UpdaterAppTest, TheApplicationsTemporaryDataIsOfferedBeforeItIsEmptied) {
  WriteSettings("Keep");
  const std::string own = Native(temp_ + "/updater_temp_Keep");
  ASSERT_TRUE(platform::CreateFolders(own + "/0.9"));
  ASSERT_TRUE(platform::WriteFileAtomic(own + "/0.9/part.bin", "part"));
  std::vector<std::string> offered;
  std::string seen;
  UpdaterAppDeps deps = Deps();
  deps.before_emptying_temp = [&](const std::string& folder) {
    offered.push_back(folder);
    seen = platform::ReadFile(own + "/0.9/part.bin", 100).value_or("");
    ASSERT_TRUE(platform::WriteFileAtomic(temp_ + "/kept.bin", seen));
    ASSERT_TRUE(platform::RemoveFile(own + "/0.9/part.bin"));
  };
  CUpdaterApp app("", deps);
  EXPECT_TRUE(app.InitInstance());
  EXPECT_EQ(offered, std::vector<std::string>{own});
  EXPECT_EQ(seen, "part");
  EXPECT_FALSE(platform::PathExists(own + "/0.9"));
  EXPECT_EQ(platform::ReadFile(temp_ + "/kept.bin", 100), "part");
}

TEST_F(UpdaterAppTest, DeleteFolderContentsLeavesAFolderThatIsALink) {
  root_.Write("target/keep.txt", "keep");
  if (test_support::SymbolicLinksAvailable()) {
    std::filesystem::create_directory_symlink(root_ / "target", root_ / "linked");
    CUpdaterApp::DeleteFolderContents(root_ / "linked");
    EXPECT_EQ(root_.Read("target/keep.txt"), "keep");
    EXPECT_TRUE(platform::IsSymbolicLink(root_ / "linked"));
  }

  CUpdaterApp::DeleteFolderContents(root_ / "does-not-exist");
  CUpdaterApp::DeleteFolderContents(root_ / "target/");
  EXPECT_EQ(Sorted(platform::ListFolder(root_ / "target")), std::vector<std::string>{});
  EXPECT_TRUE(platform::FolderExists(root_ / "target"));
}

TEST_F(UpdaterAppTest, TheRunsStatusIsTheExitStatus) {
  WriteSettings("Status");
  for (int status : {kExitOk, kExitFailed, kExitRolledBack, kExitRollbackIncomplete, kExitCancelled,
                     kExitFinishFailed}) {
    ResetSingletons();
    run_status_ = status;
    CUpdaterApp app("-mode hidden", Deps());
    EXPECT_TRUE(app.InitInstance());
    EXPECT_EQ(app.ExitInstance(), status);
  }
}

TEST_F(UpdaterAppTest, LogThatCannotBeCreatedGivesExitCodeMinusOne) {
  WriteSettings("Blocked");
  // A folder that is not empty where the log file should go.
  ASSERT_TRUE(platform::CreateFolders(LogPath("Blocked")));
  ASSERT_TRUE(platform::WriteFileAtomic(LogPath("Blocked") + "/inside", "x"));
  CUpdaterApp app("", Deps());
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), -1);
  EXPECT_EQ(ran_, 0);
}

TEST_F(UpdaterAppTest, ExceptionOutOfTheRunGivesExitCodeMinusOneAndClosesTheLog) {
  WriteSettings("Thrown");
  during_run_ = [] { throw std::runtime_error("broken"); };
  CUpdaterApp app("", Deps());
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), -1);
  EXPECT_FALSE(CUpdaterLog::Instance().IsOpen());
}

TEST_F(UpdaterAppTest, TemporaryFoldersThatCannotBeCreatedEndSilently) {
  WriteSettings("NoRoom");
  // A file where the application's temporary folder should go.
  ASSERT_TRUE(platform::WriteFileAtomic(temp_ + "/updater_temp_NoRoom", "file"));
  CUpdaterApp app("", Deps());
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitInstance(), kExitFailed);
  EXPECT_EQ(ran_, 0);
  EXPECT_FALSE(platform::PathExists(LogPath("NoRoom")));
}

struct LanguageCase {
  const char* name;
  std::string setting;  // LANGUAGE in the settings file
  std::uint16_t system_language;
  std::string dialog_choice;    // display name the language dialog picks
  int dialogs;                  // language dialogs expected
  std::string language_in_run;  // the language name during the run
};

class UpdaterAppLanguage : public UpdaterAppTest,
                           public ::testing::WithParamInterface<LanguageCase> {};

TEST_P(UpdaterAppLanguage, ChoosesTheLanguageBeforeTheRunAndClearsItAfter) {
  const LanguageCase& c = GetParam();
  WriteSettings("Lang", "[UPDATER]\nLANGUAGE=" + c.setting + "\n");
  root_.Write("app/lng/german.xml", LanguageFile("Deutsch"));
  root_.Write("app/lng/french.xml", LanguageFile("Francais"));
  system_language_ = c.system_language;
  dialogs_.choose = c.dialog_choice;
  std::string during;
  during_run_ = [&] { during = CLanguage::Instance().GetLanguageName(); };

  CUpdaterApp app("", Deps());
  EXPECT_TRUE(app.InitInstance());
  EXPECT_EQ(dialogs_.language_dialogs, c.dialogs);
  EXPECT_EQ(during, c.language_in_run);
  EXPECT_EQ(CLanguage::Instance().GetLanguageName(), "");
  EXPECT_TRUE(dialogs_.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Choices, UpdaterAppLanguage,
    ::testing::Values(LanguageCase{"SystemGerman", "", 0x0407, "", 0, "Deutsch"},
                      LanguageCase{"SystemUnknown", "", 0x0409, "", 0, "English (default)"},
                      LanguageCase{"Named", "french", 0x0407, "", 0, "Francais"},
                      LanguageCase{"NamedMissing", "klingon", 0x0407, "", 0, "English (default)"},
                      LanguageCase{"UserPicksGerman", "user", 0x040C, "Deutsch", 1, "Deutsch"},
                      LanguageCase{"UserClosesDialog", "user", 0x0407, "", 1, "English (default)"}),
    [](const ::testing::TestParamInfo<LanguageCase>& info) { return info.param.name; });

}  // namespace
