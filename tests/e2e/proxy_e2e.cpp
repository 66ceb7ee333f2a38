// The hidden update through a proxy that asks for basic authentication:
// tinyproxy stands between the updater and nginx, named to the updater by the
// proxy environment variables; the credentials come from settings.ini
// [PROXY]. Without them the run ends with an error and a rollback, in time,
// and leaves the application as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/updater_installation.h"
#include "tests/e2e/wizard_person.h"
#include "tests/support/nginx_fixture.h"
#include "tests/support/tinyproxy_fixture.h"
#include "tests/support/xvfb_fixture.h"
#include "updater/core/exit_status.h"

namespace {

using Installation = UpdaterInstallation;

constexpr char kProxyUser[] = "velmora";
constexpr char kProxyPassword[] = "pr0xy-s3cret";

struct ProxyCase {
  const char* name;
  bool https;  // through the proxy's CONNECT tunnel
  bool credentials;
  bool updated;
};

// Test names show the case name, not the bytes of the case.
void PrintTo(const ProxyCase& c, std::ostream* out) { *out << c.name; }

class ProxiedUpdate : public ::testing::TestWithParam<ProxyCase> {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
    if (!proxy_.Start()) GTEST_SKIP() << proxy_.Message();
  }

  // The proxy for every scheme, for libproxy and libcurl alike; nothing bypasses it.
  EnvironmentChanges ProxyEnvironment() const {
    EnvironmentChanges changes = {{"no_proxy", std::nullopt},
                                  {"NO_PROXY", std::nullopt},
                                  {"VELMORA_CA_BUNDLE", nginx_.CaFile()}};
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY"})
      changes.emplace_back(name, proxy_.Url());
    return changes;
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
  TinyproxyFixture proxy_{kProxyUser, kProxyPassword};
};

TEST_P(ProxiedUpdate, GoesThroughTheProxyWithItsCredentialsOnly) {
  const ProxyCase& c = GetParam();
  const std::string base = c.https ? nginx_.HttpsUrl("/") : nginx_.HttpUrl("/");
  ASSERT_EQ(installation_.Publish(base), "");
  installation_.Install(base + "updatefile.xml",
                        c.credentials ? std::string("\n[PROXY]\nUSERNAME=") + kProxyUser +
                                            "\nPASSWORD=" + kProxyPassword + "\n"
                                      : std::string());
  const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());

  const UpdaterRun run = installation_.RunUpdater(ProxyEnvironment());
  ASSERT_TRUE(run.ended) << "the run did not end in time\n" << run.log;
  EXPECT_EQ(run.exit_code, c.updated ? kExitOk : kExitFailed);
  EXPECT_NE(run.log.find("PROXY_INFO: proxy server => " + proxy_.Url()), std::string::npos)
      << run.log;

  const std::vector<std::string> tasks = TaskLines(run.log);
  const auto position = [&](const std::string& line) {
    return std::find(tasks.begin(), tasks.end(), line) - tasks.begin();
  };
  const auto missing = static_cast<std::ptrdiff_t>(tasks.size());
  const TreeSnapshot after = SnapshotTree(installation_.ApplicationFolder());
  if (c.updated) {
    EXPECT_EQ(TreeDifferences(SnapshotTree(installation_.ReleaseFolder(Installation::kNewVersion)),
                              after),
              "")
        << run.log;
    EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
    EXPECT_LT(position("task ready: TASK_INSTALL"), missing) << run.log;
    EXPECT_EQ(position("starting task: TASK_ROLLBACK"), missing) << run.log;
    // Every file went through the proxy to the server.
    EXPECT_FALSE(nginx_.RequestsFor("/files/program").empty());
  } else {
    const auto rollback_started = position("starting task: TASK_ROLLBACK");
    const auto rollback_ready = position("task ready: TASK_ROLLBACK");
    EXPECT_LT(rollback_started, rollback_ready) << run.log;
    EXPECT_LT(rollback_ready, missing) << run.log;
    EXPECT_NE(run.log.find("ERROR: "), std::string::npos) << run.log;
    EXPECT_EQ(position("starting task: TASK_INSTALL"), missing) << run.log;
    EXPECT_EQ(TreeDifferences(before, after), "");
    EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
    // The proxy let nothing through to the server.
    EXPECT_TRUE(nginx_.RequestsFor("/updatefile.xml").empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Proxies, ProxiedUpdate,
    ::testing::Values(ProxyCase{"HttpWithCredentials", false, true, true},
                      ProxyCase{"HttpsWithCredentials", true, true, true},
                      ProxyCase{"HttpWithoutCredentials", false, false, false},
                      ProxyCase{"HttpsWithoutCredentials", true, false, false}),
    [](const ::testing::TestParamInfo<ProxyCase>& info) { return info.param.name; });

// A run with windows and no credentials in the settings: the proxy asks, the
// authentication dialog shows on the display, a person types the proxy's user
// name and password and confirms, and the update goes on with them. The
// credentials are not written to settings.ini, since "save" was left unchecked.
class ProxyAuthenticationDialog : public ProxiedUpdate {
 protected:
  void SetUp() override {
    ProxiedUpdate::SetUp();
    if (IsSkipped()) return;
    if (!xvfb_.Start()) GTEST_FAIL() << xvfb_.Message();
  }

  XvfbFixture xvfb_;
};

TEST_F(ProxyAuthenticationDialog, TheUpdateGoesOnWithWhatWasTyped) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(nginx_.HttpUrl("/updatefile.xml"));

  EnvironmentChanges environment = ProxyEnvironment();
  environment.emplace_back("DISPLAY", xvfb_.Display());
  const platform::ProcessId updater = installation_.StartUpdater(environment, "full");
  ASSERT_GT(updater, 0);
  const WizardPerson person(installation_, xvfb_, updater);
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_CHECKVERSION"))
      << installation_.Log();

  // The dialog comes when the check meets the proxy; then a person types.
  ASSERT_EQ(xvfb_.Xdotool({"search", "--sync", "--onlyvisible", "--name", "Authentication needed",
                           "windowfocus", "--sync"},
                          60000),
            "")
      << installation_.Log();
  EXPECT_EQ(xvfb_.Screenshot(ScreenshotFolder() + "/authentication.png"), "");
  // The user-name field holds the logon name and the focus is in the password.
  ASSERT_EQ(xvfb_.Xdotool({"key", "--clearmodifiers", "shift+Tab", "ctrl+a"}), "");
  ASSERT_EQ(xvfb_.Xdotool({"type", "--delay", "10", kProxyUser}), "");
  ASSERT_EQ(xvfb_.Xdotool({"key", "--clearmodifiers", "Tab"}), "");
  ASSERT_EQ(xvfb_.Xdotool({"type", "--delay", "10", kProxyPassword}), "");
  EXPECT_EQ(xvfb_.Screenshot(ScreenshotFolder() + "/authentication-typed.png"), "");
  ASSERT_EQ(xvfb_.Xdotool({"key", "--clearmodifiers", "Return"}), "");

  // The wizard goes on with the update.
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_CHECKVERSION")) << installation_.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_SELECTUPDATE"))
      << installation_.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_DOWNLOAD")) << installation_.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_DOWNLOAD")) << installation_.Log();
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_INSTALL")) << installation_.Log();
  ASSERT_TRUE(person.WaitForLog("task ready: TASK_INSTALL")) << installation_.Log();
  ASSERT_EQ(person.Key("Return"), "");  // to the finish page
  ASSERT_EQ(person.Key("Return"), "");  // Finish

  const UpdaterRun run = installation_.WaitForUpdater(updater);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitOk) << run.log;
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion)
      << run.log;
  EXPECT_FALSE(nginx_.RequestsFor("/files/program").empty());
  // Only the new version was written; the credentials stayed in the run.
  EXPECT_EQ(installation_.SettingsText().find("PROXY"), std::string::npos)
      << installation_.SettingsText();
  EXPECT_EQ(installation_.SettingsText().find(kProxyPassword), std::string::npos);
}

// The end of the session while the dialog waits for the person: the dialog
// closes by itself with its cancel answer, the run is cancelled in order and
// nothing of the application changed.
TEST_F(ProxyAuthenticationDialog, AStopSignalClosesTheDialogAndCancelsTheRun) {
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/")), "");
  installation_.Install(nginx_.HttpUrl("/updatefile.xml"));
  const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());

  EnvironmentChanges environment = ProxyEnvironment();
  environment.emplace_back("DISPLAY", xvfb_.Display());
  const platform::ProcessId updater = installation_.StartUpdater(environment, "full");
  ASSERT_GT(updater, 0);
  const WizardPerson person(installation_, xvfb_, updater);
  ASSERT_TRUE(person.PressUntil("Return", "starting task: TASK_CHECKVERSION"))
      << installation_.Log();
  ASSERT_EQ(xvfb_.Xdotool({"search", "--sync", "--name", "Authentication needed"}, 60000), "")
      << installation_.Log();
  ASSERT_TRUE(platform::TerminateProcess(updater, false).ok());

  const UpdaterRun run = installation_.WaitForUpdater(updater);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitCancelled) << run.log;
  EXPECT_EQ(TreeDifferences(before, SnapshotTree(installation_.ApplicationFolder())), "");
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
}

}  // namespace
