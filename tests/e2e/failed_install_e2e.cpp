// An installation that fails at its last action, after every other file and
// INI change of the release was made: the rollback brings the whole
// installation (the application, the updater's folder, settings.ini) back to
// the state before the run, byte for byte, with the same names and modes.
// Nothing here depends on file permissions, so it holds when the tests run as
// root too.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/updater_installation.h"
#include "tests/support/nginx_fixture.h"
#include "updater/core/exit_status.h"
#include "updater/core/text.h"

namespace {

using Installation = UpdaterInstallation;

// An INI item: a value in a file of the application.
std::string IniItem(const std::string& location, const std::string& group, const std::string& key,
                    const std::string& value) {
  return "    <ITEM><LOCATION>" + location + "</LOCATION><GROUP>" + group + "</GROUP><KEY>" + key +
         "</KEY><VALUE>" + value + "</VALUE></ITEM>\n";
}

// Paths below a regular file can never be written.
constexpr char kUnwritableIni[] = "%app%readme.txt/below a file.ini";
constexpr char kUnwritableCopy[] = "%app%readme.txt/below a file.bin";

struct FailureCase {
  const char* name;
  bool enable_rollback;  // the release keeps restore information
  bool last_is_ini;      // the INI item fails; otherwise a copy appended to the files fails
};

// Test names show the case name, not the bytes of the case.
void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class FailedInstallation : public ::testing::TestWithParam<FailureCase> {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    for (const char* version : {Installation::kOldVersion, Installation::kNewVersion})
      installation_.WriteReleaseFile(version, "config.ini", "[General]\nChannel=stable\n");
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
  }

  // The INI part: a value in an existing file, a new file in a new folder and,
  // when the INI item is the failing last action, one that cannot be written.
  std::string IniPart(bool failing) const {
    std::string items = IniItem("%app%config.ini", "Features", "Tabs", "on") +
                        IniItem("%app%settings/new/user.ini", "User", "Theme", "dark");
    if (failing) items += IniItem(kUnwritableIni, "G", "K", "V");
    return "  <INI>\n" + items + "  </INI>\n";
  }

  // A file whose copy cannot be written, after every other file of the release.
  std::string FailingFile() const {
    const std::string url = nginx_.HttpUrl("/files/data/new.txt");
    return std::string("    <FILE name=\"unwritable\" location=\"") + kUnwritableCopy +
           "\" version=\"\" date=\"\" hash=\"\" check=\"hash\" section=\"" +
           Installation::kAppName +
           "\">\n"
           "      <ACTION type=\"download\"><LOCATION>" +
           url +
           "</LOCATION><DESTINATION>%updatertemp%9999-unwritable.txt</DESTINATION></ACTION>\n"
           "      <ACTION type=\"copy\"><OLDLOCATION>%updatertemp%9999-unwritable.txt</OLDLOCATION>"
           "<NEWLOCATION>" +
           kUnwritableCopy + "</NEWLOCATION><OVERWRITE>true</OVERWRITE></ACTION>\n    </FILE>\n";
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
};

TEST_P(FailedInstallation, LeavesTheInstallationAsItWas) {
  const FailureCase& c = GetParam();
  std::vector<std::string> options;
  if (c.enable_rollback) options.push_back("--enable-rollback");
  ASSERT_EQ(installation_.Publish(nginx_.HttpUrl("/"), options), "");
  if (!c.last_is_ini)
    installation_.ReplaceInPublishedUpdateFile("</FILES>", FailingFile() + "  </FILES>");
  installation_.AddToPublishedUpdateFile(IniPart(c.last_is_ini));
  installation_.Install(nginx_.HttpUrl("/updatefile.xml"));
  const TreeSnapshot before = SnapshotTree(installation_.InstallFolder());

  const UpdaterRun run = installation_.RunUpdater();
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, kExitRolledBack);

  // The installation ran, failed and was rolled back, in this order.
  const std::vector<std::string> tasks = TaskLines(run.log);
  const auto position = [&](const std::string& line) {
    return std::find(tasks.begin(), tasks.end(), line) - tasks.begin();
  };
  const auto missing = static_cast<std::ptrdiff_t>(tasks.size());
  EXPECT_LT(position("starting task: TASK_INSTALL"), position("starting task: TASK_ROLLBACK"))
      << run.log;
  EXPECT_LT(position("starting task: TASK_ROLLBACK"), position("task ready: TASK_ROLLBACK"))
      << run.log;
  EXPECT_LT(position("task ready: TASK_ROLLBACK"), missing) << run.log;
  EXPECT_EQ(position("task ready: TASK_INSTALL"), missing) << run.log;
  // The failing action is the one made unwritable, after the other changes
  // were made: there was something to undo.
  EXPECT_NE(
      run.log.find(std::string(c.last_is_ini ? "ini" : "copy") + ": cannot create the folder " +
                   installation_.ApplicationFolder() + "/readme.txt"),
      std::string::npos)
      << run.log;
  EXPECT_EQ(run.log.find("rollback: undoing 0 changes"), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("rollback: every change was undone"), std::string::npos) << run.log;

  EXPECT_EQ(TreeDifferences(before, SnapshotTree(installation_.InstallFolder())), "") << run.log;
}

INSTANTIATE_TEST_SUITE_P(
    LastActions, FailedInstallation,
    ::testing::Values(FailureCase{"IniItemWithRestoreInformation", true, true},
                      FailureCase{"IniItemWithoutRestoreInformation", false, true},
                      FailureCase{"LastCopyWithRestoreInformation", true, false}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
