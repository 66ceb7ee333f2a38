#include "updater/tasks/install/install.h"

#include <algorithm>
#include <utility>

#include "platform/atomic_file_writer.h"
#include "platform/file_system.h"
#include "platform/system_paths.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/update_file_data.h"
#include "updater/tasks/install/install_files.h"
#include "updater/tasks/install/install_ini.h"
#include "updater/tasks/install/install_registry.h"
#include "updater/tasks/progress_weights.h"

namespace {

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

const CUpdateFileData& Data() { return CUpdateFileData::Instance(); }

const std::string& ApplicationName() { return CUpdaterSettings::Instance().Values().name; }

std::string ApplicationLocation() {
  return platform::NormalizeSeparators(CUpdaterSettings::Instance().Values().location);
}

constexpr std::int64_t kUserCloseCheckMs = 1000;

}  // namespace

std::string CopyProgramFileName() { return "Tolvaric" + platform::ExecutableSuffix(); }

platform::Status WriteCopyProgram(const std::string& folder, std::span<const unsigned char> bytes) {
  if (folder.empty()) return platform::Status::Fail("no folder for the copy program");
  if (bytes.empty()) return platform::Status::Fail("the copy program is empty");
  std::string base = folder;
  while (base.size() > 1 && platform::IsPathSeparator(base.back())) base.pop_back();
  const std::string path = base + platform::PathSeparator() + CopyProgramFileName();
  if (platform::IsSymbolicLink(path))
    return platform::Status::Fail("a symbolic link is in the place of '" + path + "'");
  platform::AtomicFileWriter writer;
  platform::Status status = writer.Open(path);
  if (status)
    status =
        writer.Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (status) status = writer.Commit(platform::FilePermissions::kExecutable, std::nullopt);
  return status;
}

CInstall::CInstall(InstallDeps deps)
    : CTaskThread(TaskId::kInstall),
      deps_(std::move(deps)),
      journal_(deps_.journal ? *deps_.journal : CChangeJournal::Instance()),
      closer_(deps_.processes ? *deps_.processes : platform::SystemProcessControl(),
              deps_.pause ? deps_.pause : CApplicationCloser::Pause([this](std::int64_t ms) {
                return cancel_.Pause(ms);
              }),
              deps_.countdown) {}

CInstall::~CInstall() { Stop(); }

void CInstall::Start() {
  Log("CInstall::InitInstance()");
  files_ = std::make_unique<CInstallFiles>(InstallFilesDeps{&journal_, deps_.start});
  ini_ = std::make_unique<CInstallIni>(&journal_);
  registry_ = std::make_unique<CInstallRegistry>(&journal_);
  for (int part = INSTALL_PART_FILES; part <= INSTALL_PART_REGISTRY; ++part) {
    CTaskThread* worker = Worker(part);
    worker->Start();
    Message set_owner = MakeMessage(MessageId::kSetOwner);
    set_owner.payload = OwnQueue();
    worker->Post(std::move(set_owner));
  }
  WriteCopyProgramIfEnabled();
  part_ = INSTALL_PART_FILES;
  last_worker_progress_ = 0;
  done_ = 0;
  last_item_percent_ = last_total_percent_ = -1;
  CTaskThread::Start();
}

bool CInstall::Post(Message message) {
  if (message.id == MessageId::kQuit ||
      (message.id == MessageId::kCommand && (CodeOf<CommandCode>(message) == CommandCode::kFinish ||
                                             CodeOf<CommandCode>(message) == CommandCode::kCancel)))
    cancel_.Cancel();
  return CTaskThread::Post(std::move(message));
}

void CInstall::Stop() {
  cancel_.Cancel();
  CTaskThread::Stop();
}

void CInstall::OnEnd() {
  Log("CInstall::ExitInstance()");
  StopWorkers();
}

void CInstall::StopWorkers() {
  for (int part = INSTALL_PART_FILES; part <= INSTALL_PART_REGISTRY; ++part)
    if (CTaskThread* worker = Worker(part)) worker->Stop();
}

CTaskThread* CInstall::Worker(int part) {
  switch (part) {
    case INSTALL_PART_FILES:
      return files_.get();
    case INSTALL_PART_INI:
      return ini_.get();
    case INSTALL_PART_REGISTRY:
      return registry_.get();
    default:
      return nullptr;
  }
}

void CInstall::WriteCopyProgramIfEnabled() {
  if (!Data().self_update) return;
  if (!deps_.copy_program) {
    Log("self-update: the copy program is not available and not written");
    return;
  }
  const std::string folder =
      deps_.temp_folder.empty() ? CUpdaterPaths::Instance().Entry(kPathTemp) : deps_.temp_folder;
  platform::Status written = WriteCopyProgram(folder, deps_.copy_program());
  if (!written) Log("self-update: the copy program was not written: " + written.message());
}

void CInstall::OnMessage(const Message& message) {
  switch (message.id) {
    case MessageId::kCommand:
      if (CodeOf<CommandCode>(message) == CommandCode::kStartWorking)
        StartInstall();
      else if (CodeOf<CommandCode>(message) == CommandCode::kFinish ||
               CodeOf<CommandCode>(message) == CommandCode::kCancel)
        EndThread();
      break;
    case MessageId::kInstallProgress:
      if (const auto* progress = std::any_cast<InstallProgress>(&message.payload))
        OnProgress(*progress);
      break;
    case MessageId::kInstallPartDone:
      if (message.wparam == part_) OnPartDone(part_);
      break;
    case MessageId::kError:
    case MessageId::kWarning: {
      // The text becomes the item; the reason an error carries stays.
      Message report = MakeMessage(message.id, message.wparam, 0, item_);
      report.payload = message.payload;
      PostToOwner(std::move(report));
      break;
    }
    case MessageId::kQuestion:
      PostToOwner(message);
      break;
    case MessageId::kWarningAck:
      ForwardToWorkers(message);
      break;
    case MessageId::kAnswer:
      if (CodeOf<QuestionId>(message) == QuestionId::kCloseApplication) {
        if (asking_) OnCloseAnswer(message.lparam == 0);
      } else {
        ForwardToWorkers(message);
      }
      break;
    default:
      break;
  }
}

void CInstall::ForwardToWorkers(const Message& message) {
  for (int part = INSTALL_PART_FILES; part <= INSTALL_PART_REGISTRY; ++part)
    if (CTaskThread* worker = Worker(part)) worker->Post(message);
}

void CInstall::StartInstall() {
  const std::string location = ApplicationLocation();
  if (Data().close_application != CloseApplicationMode::DoNotClose && !location.empty() &&
      closer_.IsRunning(location)) {
    AskToClose();
    return;
  }
  StartPart(INSTALL_PART_FILES);
}

void CInstall::AskToClose() {
  asking_ = true;
  PostToOwner(
      MakeMessage(MessageId::kQuestion, QuestionId::kCloseApplication, 0, ApplicationName()));
}

void CInstall::OnCloseAnswer(bool yes) {
  asking_ = false;
  if (!yes) {
    Log("close application: the user keeps " + ApplicationName() + " running");
    CloseFailed();
    return;
  }
  const std::string location = ApplicationLocation();
  if (Data().close_application == CloseApplicationMode::User) {
    // The user closes it; look again after a pause, and ask again while it runs.
    ++user_checks_;
    const bool waited =
        deps_.pause ? deps_.pause(kUserCloseCheckMs) : cancel_.Pause(kUserCloseCheckMs);
    if (!waited) {
      EndThread();
      return;
    }
    if (!closer_.IsRunning(location)) {
      StartPart(INSTALL_PART_FILES);
    } else if (user_checks_ >= deps_.user_close_checks) {
      Log("close application: " + ApplicationName() + " still runs, giving up");
      CloseFailed();
    } else {
      AskToClose();
    }
    return;
  }
  CloseResult result = closer_.Close(location);
  if (closer_.RequestSent() && deps_.application_closed) deps_.application_closed();
  switch (result) {
    case CloseResult::kClosed:
      StartPart(INSTALL_PART_FILES);
      break;
    case CloseResult::kFailed:
      CloseFailed();
      break;
    case CloseResult::kCancelled:
      EndThread();
      break;
  }
}

void CInstall::CloseFailed() {
  PostToOwner(MakeError(UpdateError::kCloseApplication, ApplicationName(),
                        ErrorDetail{0, "the application is still running", ApplicationName()}));
  EndThread();
}

void CInstall::StartPart(int part) {
  part_ = part;
  Worker(part)->Post(MakeMessage(MessageId::kInstallPartStart));
}

void CInstall::OnPartDone(int part) {
  Worker(part)->Stop();
  if (part + 1 <= INSTALL_PART_REGISTRY) {
    StartPart(part + 1);
    return;
  }
  part_ = part + 1;
  PostToOwner(MakeMessage(MessageId::kItemProgress, kFullPercent, 0, item_));
  PostToOwner(MakeMessage(MessageId::kTotalProgress, kFullPercent, 0));
  PostToOwner(MakeMessage(MessageId::kTaskComplete, TaskId::kInstall, 0));
  EndThread();
}

void CInstall::OnProgress(const InstallProgress& progress) {
  const std::int64_t total = static_cast<std::int64_t>(files_->TotalUnits()) + ini_->TotalUnits() +
                             registry_->TotalUnits();
  item_ = progress.item;
  if (progress.cumulative_done > last_worker_progress_)
    done_ += progress.cumulative_done - last_worker_progress_;
  last_worker_progress_ = progress.cumulative_done;

  auto percent = [](std::int64_t part, std::int64_t whole) {
    return whole <= 0 ? 0 : PercentOf(part, whole);
  };
  const int item_percent = percent(progress.item_done, progress.item_total);
  const int total_percent = percent(done_, total);
  if (item_percent != last_item_percent_) {
    last_item_percent_ = item_percent;
    PostToOwner(MakeMessage(MessageId::kItemProgress, item_percent, 0, item_));
  }
  if (total_percent != last_total_percent_) {
    last_total_percent_ = total_percent;
    PostToOwner(MakeMessage(MessageId::kTotalProgress, total_percent, 0));
  }
}
