// The modes with windows load the window module beside the program and run
// the update inside the toolkit's loop on a real (private) X server; without
// a display, or without the module, they say why in the log and run without
// windows. The hidden mode never loads the module.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "platform/file_system.h"
#include "tests/e2e/updater_installation.h"
#include "tests/e2e/wizard_person.h"
#include "tests/support/nginx_fixture.h"
#include "tests/support/xvfb_fixture.h"
#include "updater/core/exit_status.h"

namespace {

using Installation = UpdaterInstallation;

constexpr char kWindowsReady[] = "user interface: the windows are ready";
constexpr char kNoWindows[] = "user interface: no windows (";

enum class Display { kXvfb, kNone };

struct WindowsCase {
  const char* name;
  const char* mode;
  Display display;
  bool module_shipped;
  bool windows;            // the module was loaded and the toolkit started
  const char* no_windows;  // the reason logged when there are none, or nullptr
};

void PrintTo(const WindowsCase& c, std::ostream* out) { *out << c.name; }

class WindowsRun : public ::testing::TestWithParam<WindowsCase> {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
    if (GetParam().display == Display::kXvfb && !xvfb_.Start()) GTEST_FAIL() << xvfb_.Message();
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
  XvfbFixture xvfb_;
};

TEST_P(WindowsRun, UpdatesWithOrWithoutWindows) {
  const WindowsCase& c = GetParam();
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(nginx_.HttpUrl("/updatefile.xml"));
  if (!c.module_shipped) {
    ASSERT_TRUE(platform::RemoveFile(installation_.WindowModule()).ok());
  }

  EnvironmentChanges environment;
  // The fixture's own display name is a session without a server behind it.
  if (c.display == Display::kXvfb) environment.emplace_back("DISPLAY", xvfb_.Display());
  const UpdaterRun run = installation_.RunUpdater(environment, c.mode);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion)
      << run.log;

  EXPECT_EQ(run.log.find(kWindowsReady) != std::string::npos, c.windows) << run.log;
  if (c.no_windows) {
    EXPECT_NE(run.log.find(std::string(kNoWindows) + c.no_windows), std::string::npos) << run.log;
  } else {
    EXPECT_EQ(run.log.find(kNoWindows), std::string::npos) << run.log;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WindowsRun,
    ::testing::Values(
        // The full mode with a display shows the wizard, which waits for a
        // person: its runs are the wizard's own tests.
        WindowsCase{"VerySilentWithADisplay", "verysilent", Display::kXvfb, true, true, nullptr},
        WindowsCase{"SilentWithADisplay", "silent", Display::kXvfb, true, true, nullptr},
        WindowsCase{"FullWithoutADisplay", "full", Display::kNone, true, false,
                    "the toolkit does not start"},
        WindowsCase{"FullWithoutTheModule", "full", Display::kXvfb, false, false,
                    "the window module"},
        // The hidden mode neither loads the module nor needs a display.
        WindowsCase{"HiddenWithoutADisplay", "hidden", Display::kNone, true, false, nullptr}),
    [](const ::testing::TestParamInfo<WindowsCase>& info) { return info.param.name; });

// A command line the updater cannot take: on a display its error dialog shows
// (a person reads it and presses OK), and the run ends with the status of a
// refused command line, changing nothing.
TEST(WindowsAtStartUp, ACommandLineErrorShowsItsDialogOnADisplay) {
  Installation installation;
  installation.WriteSampleReleases();
  installation.Install("http://127.0.0.1:9/updatefile.xml");
  XvfbFixture xvfb;
  ASSERT_TRUE(xvfb.Start()) << xvfb.Message();

  const platform::ProcessId updater =
      installation.StartUpdaterWith({{"DISPLAY", xvfb.Display()}}, {"-bogus", "1"});
  ASSERT_GT(updater, 0);
  ASSERT_EQ(xvfb.Xdotool({"search", "--sync", "--onlyvisible", "--name", "Parameter parsing error",
                          "windowfocus", "--sync"},
                         60000),
            "");
  EXPECT_EQ(xvfb.Screenshot(ScreenshotFolder() + "/parameter_error.png"), "");
  ASSERT_EQ(xvfb.Xdotool({"key", "--clearmodifiers", "Return"}), "");
  const UpdaterRun run = installation.WaitForUpdater(updater);
  ASSERT_TRUE(run.ended);
  EXPECT_EQ(run.exit_code, kExitWrongCommandLine);
  EXPECT_EQ(installation.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
}

// The application runs and will not end when asked: in full mode the
// close-application countdown shows; the person presses End now, the program
// is ended and the update installs.
TEST(WindowsInstall, TheCloseCountdownShowsAndEndNowLetsTheUpdateGoOn) {
  Installation installation;
  installation.WriteSampleReleases();
  NginxFixture nginx(installation.WwwFolder());
  if (!nginx.Start()) GTEST_SKIP() << nginx.Message();
  XvfbFixture xvfb;
  ASSERT_TRUE(xvfb.Start()) << xvfb.Message();
  ASSERT_EQ(installation.Publish(nginx.HttpUrl("/"), {"--close-application", "true"}), "");
  installation.Install(nginx.HttpUrl("/updatefile.xml"));

  // The application: a program of its own name that ignores the request to end.
  const std::string program = installation.ApplicationFolder() + "/program";
  ASSERT_TRUE(platform::RemoveFile(program).ok());
  std::filesystem::copy_file("/bin/sleep", program);
  platform::StartResult application =
      platform::StartProgram("/bin/sh", {"-c", "trap '' TERM; exec \"$0\" 300", program},
                             installation.ApplicationFolder());
  ASSERT_TRUE(application.status.ok()) << application.status.message();

  const platform::ProcessId updater =
      installation.StartUpdater({{"DISPLAY", xvfb.Display()}}, "full");
  ASSERT_GT(updater, 0);
  // Through the wizard to the installation, which asks first whether the
  // application may be closed (Yes), then counts down until it is gone.
  const WizardPerson person(installation, xvfb, updater);
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_CHECKVERSION"))
      << installation.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_CHECKVERSION")) << installation.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_SELECTUPDATE"))
      << installation.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_DOWNLOAD")) << installation.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_DOWNLOAD")) << installation.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_INSTALL")) << installation.Log();
  ASSERT_EQ(person.KeyTo("^Close application$", "Return"), "") << installation.Log();  // Yes
  const std::string caption = std::string("Close ") + Installation::kAppName;
  const std::string found = xvfb.Xdotool(
      {"search", "--sync", "--onlyvisible", "--name", caption, "windowfocus", "--sync"}, 60000);
  EXPECT_EQ(found, "") << installation.Log();
  if (found.empty()) {
    EXPECT_EQ(xvfb.Screenshot(ScreenshotFolder() + "/close_application.png"), "");
    EXPECT_EQ(xvfb.Xdotool({"key", "--clearmodifiers", "Return"}), "");
  }
  if (person.WaitForLog("task ready: TASK_INSTALL")) {
    EXPECT_EQ(person.Key("Return"), "");  // to the finish page
    EXPECT_EQ(person.Key("Return"), "");  // Finish
  }
  const UpdaterRun run = installation.WaitForUpdater(updater);
  const bool application_ended = platform::WaitForProcess(application.pid, 10000).has_value();
  if (!application_ended) {
    (void)platform::TerminateProcess(application.pid, true);
    platform::WaitForProcess(application.pid, 10000);
  }
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_TRUE(application_ended);
  EXPECT_EQ(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(installation.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion)
      << run.log;
}

}  // namespace
