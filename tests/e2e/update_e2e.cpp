// A whole hidden update with the built updater: nginx serves the release that
// the release tool wrote, over HTTP and over HTTPS with a certificate of a test
// authority that the updater trusts only when VELMORA_CA_BUNDLE names it.

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/e2e/updater_installation.h"
#include "tests/support/nginx_fixture.h"
#include "updater/core/exit_status.h"
#include "updater/core/text.h"

namespace {

using Installation = UpdaterInstallation;

struct SchemeCase {
  const char* name;
  bool https;
  bool trust_test_ca;  // VELMORA_CA_BUNDLE names the test authority
  bool updated;
};

// Test names show the case name, not the bytes of the case.
void PrintTo(const SchemeCase& c, std::ostream* out) { *out << c.name; }

class NginxUpdate : public ::testing::TestWithParam<SchemeCase> {
 protected:
  void SetUp() override {
    installation_.WriteSampleReleases();
    if (!nginx_.Start()) GTEST_SKIP() << nginx_.Message();
  }

  Installation installation_;
  NginxFixture nginx_{installation_.WwwFolder()};
};

TEST_P(NginxUpdate, InstallsTheServedRelease) {
  const SchemeCase& c = GetParam();
  const std::string base = c.https ? nginx_.HttpsUrl("/") : nginx_.HttpUrl("/");
  ASSERT_EQ(installation_.Publish(base), "");
  installation_.Install(base + "updatefile.xml");
  const TreeSnapshot before = SnapshotTree(installation_.ApplicationFolder());

  EnvironmentChanges environment;
  if (c.trust_test_ca) environment.emplace_back("VELMORA_CA_BUNDLE", nginx_.CaFile());
  const UpdaterRun run = installation_.RunUpdater(environment);
  ASSERT_TRUE(run.ended) << run.log;
  EXPECT_EQ(run.exit_code, c.updated ? kExitOk : kExitFailed);

  const TreeSnapshot after = SnapshotTree(installation_.ApplicationFolder());
  if (!c.updated) {
    // The certificate is refused: nothing was fetched, nothing changed.
    EXPECT_NE(run.log.find("starting task: TASK_ROLLBACK"), std::string::npos) << run.log;
    EXPECT_EQ(TreeDifferences(before, after), "");
    EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kOldVersion);
    EXPECT_FALSE(platform::PathExists(installation_.SectionsFile()));
    EXPECT_TRUE(nginx_.RequestsFor("/updatefile.xml").empty());
    EXPECT_NE(run.log.find("SSL certificate problem"), std::string::npos) << run.log;
    return;
  }

  // Files replaced (modes kept), added in new folders and removed: the
  // application is the new release, byte for byte.
  EXPECT_EQ(
      TreeDifferences(SnapshotTree(installation_.ReleaseFolder(Installation::kNewVersion)), after),
      "")
      << run.log;
  EXPECT_EQ(installation_.SettingsValue("APPLICATION", "VERSION"), Installation::kNewVersion);
  const std::string sections =
      platform::ReadFile(installation_.SectionsFile(), 1 << 20).value_or("");
  for (const char* section : {Installation::kAppName, "data", "plugins"}) {
    // Section names are kept in lower case.
    EXPECT_NE(sections.find("name=\"" + ToLower(section) + "\" version=\"" +
                            Installation::kNewVersion + "\""),
              std::string::npos)
        << section << "\n"
        << sections;
  }
  const std::vector<std::string> expected_tasks = {
      "starting task: TASK_CHECKVERSION", "task ready: TASK_CHECKVERSION",
      "starting task: TASK_DOWNLOAD",     "task ready: TASK_DOWNLOAD",
      "starting task: TASK_INSTALL",      "task ready: TASK_INSTALL"};
  std::vector<std::string> tasks;
  for (const std::string& line : TaskLines(run.log))
    if (line.find("TASK_CHECKVERSION") != std::string::npos ||
        line.find("TASK_DOWNLOAD") != std::string::npos ||
        line.find("TASK_INSTALL") != std::string::npos ||
        line.find("TASK_ROLLBACK") != std::string::npos)
      tasks.push_back(line);
  EXPECT_EQ(tasks, expected_tasks) << run.log;

  // Every changed or new file came from the server, over the scheme of the run.
  for (const char* path : {"/updatefile.xml", "/files/program", "/files/readme.txt",
                           "/files/data/new.txt", "/files/plugins/extra/plugin.bin"}) {
    bool fetched = false;
    for (const NginxFixture::Request& request : nginx_.RequestsFor(path))
      fetched =
          fetched || (request.status == 200 && request.scheme == (c.https ? "https" : "http"));
    EXPECT_TRUE(fetched) << path;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, NginxUpdate,
    ::testing::Values(SchemeCase{"Http", false, false, true},
                      SchemeCase{"HttpsWithTheTestAuthority", true, true, true},
                      // Certificate checks are never relaxed.
                      SchemeCase{"HttpsWithAnUnknownAuthority", true, false, false}),
    [](const ::testing::TestParamInfo<SchemeCase>& info) { return info.param.name; });

}  // namespace
