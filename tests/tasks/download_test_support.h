#pragma once
// The fixture of the download-task tests: a temporary folder as the user's
// temporary folder, update records made in code, and a run of the task that
// collects its reports.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/path.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/update_file_data.h"
#include "updater/process/message_queue.h"
#include "updater/process/temporary_update_files.h"
#include "updater/tasks/download/download.h"
#include "updater/tasks/net/internet.h"
#include "updater/tasks/net/proxy_resolver.h"

namespace download_test {

constexpr std::int64_t kWaitMs = 15000;

// The reports of one run of the task, the last one ending it.
struct Reports {
  std::vector<Message> messages;
  bool ended = false;  // the thread ended within the bound

  const Message* Last() const { return messages.empty() ? nullptr : &messages.back(); }
  bool Completed() const {
    return Last() && Last()->id == MessageId::kTaskComplete &&
           CodeOf<TaskId>(*Last()) == TaskId::kDownload;
  }
  bool FailedWith(UpdateError code) const {
    return Last() && Last()->id == MessageId::kError && CodeOf<UpdateError>(*Last()) == code;
  }
  std::vector<int> Percents(MessageId id) const {
    std::vector<int> percents;
    for (const Message& m : messages)
      if (m.id == id) percents.push_back(static_cast<int>(m.wparam));
    return percents;
  }
};

inline bool IsFinal(const Message& m) {
  return m.id == MessageId::kTaskComplete || m.id == MessageId::kError;
}

class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSingletons();
    Settings().name = "App";
    Settings().version = "1.0";
    ASSERT_TRUE(platform::CreateFolders(folder_ / "bin"));
    ASSERT_TRUE(platform::CreateFolders(folder_ / "tmp"));
    SystemFolders system;
    system.executable = folder_ / "bin/updater";
    system.temp = folder_ / "tmp";
    ASSERT_TRUE(CUpdaterPaths::Instance().Init(system));
    ASSERT_TRUE(CUpdaterPaths::Instance().InitUpdaterTemp());
    CInternet::Instance().SetProxyResolver(MakeDirectProxyResolver());
    CInternet::Instance().SetTimeout(2000);
  }
  void TearDown() override { ResetSingletons(); }

  static void ResetSingletons() {
    CInternet::ResetInstance();
    CTemporaryUpdateFiles::ResetInstance();
    CUpdateFileData::ResetInstance();
    CUpdaterPaths::ResetInstance();
    CUpdaterSettings::ResetInstance();
  }

  static SettingsValues& Settings() { return CUpdaterSettings::Instance().MutableValues(); }
  static CUpdateFileData& Data() { return CUpdateFileData::Instance(); }
  static std::string InTemp(const std::string& name) {
    return CUpdaterPaths::Instance().Expand("%updatertemp%" + name);
  }

  // A file record with one download action into %updatertemp%name.
  static CFileData& AddDownload(const std::string& name, std::vector<std::string> locations,
                                const std::string& hash = {}, bool needed = true) {
    CFileData file;
    file.name = name;
    file.location = "/opt/app/" + name;
    file.hash = hash;
    file.update_needed = needed;
    CFileActionDownload action;
    action.locations = std::move(locations);
    action.destination = InTemp(platform::FileNameOf(name));
    action.temporary = true;
    file.actions.push_back(std::move(action));
    Data().files.push_back(std::move(file));
    return Data().files.back();
  }
  static CFileActionDownload& DownloadOf(CFileData& file) {
    return std::get<CFileActionDownload>(file.actions.front());
  }

  // Starts the task as the update process does.
  static void Launch(CDownload& task, const std::shared_ptr<CMessageQueue>& owner) {
    task.Start();
    Message set_owner = MakeMessage(MessageId::kSetOwner);
    set_owner.payload = owner;
    task.Post(std::move(set_owner));
    task.Post(MakeMessage(MessageId::kCommand, CommandCode::kStartWorking));
  }

  // Takes the owner's messages up to the final report (or none within the bound).
  static std::vector<Message> TakeReports(CMessageQueue& owner) {
    std::vector<Message> taken;
    while (auto m = owner.TakeFor(kWaitMs)) {
      taken.push_back(*m);
      if (IsFinal(*m)) break;
    }
    return taken;
  }

  // Runs the task to its end.
  static Reports Run(DownloadDeps deps = {}) {
    auto owner = std::make_shared<CMessageQueue>();
    CDownload task(std::move(deps));
    Launch(task, owner);
    Reports reports;
    reports.messages = TakeReports(*owner);
    reports.ended = task.WaitForEnd(kWaitMs);
    EXPECT_EQ(owner->Size(), 0u) << "reports after the final one";
    return reports;
  }

  // Free space that always suffices.
  static DownloadDeps PlentyOfSpace() {
    DownloadDeps deps;
    deps.free_space = [](const std::string&) { return std::optional<std::uint64_t>(1ull << 40); };
    return deps;
  }

  TempFolder folder_;
  LogCapture log_;
};

}  // namespace download_test
