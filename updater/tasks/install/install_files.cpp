#include "updater/tasks/install/install_files.h"

#include <algorithm>
#include <utility>

#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/language.h"
#include "updater/core/overloaded.h"
#include "updater/core/text.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/core/updater_settings.h"
#include "updater/description/update_file_data.h"
#include "updater/process/start_location.h"
#include "updater/tasks/install/component_registration.h"
#include "updater/tasks/install/zip_extractor.h"
#include "updater/tasks/progress_weights.h"

namespace {

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

const CUpdateFileData& Data() { return CUpdateFileData::Instance(); }

std::string Path(const std::string& location) { return platform::NormalizeSeparators(location); }

// The folder that holds the file, or "" when the path names none.
}  // namespace

CInstallFiles::CInstallFiles(InstallFilesDeps deps)
    : CTaskThread(TaskId::kInstall),
      journal_(deps.journal ? *deps.journal : CChangeJournal::Instance()),
      start_(deps.start ? std::move(deps.start) : ProgramStarter(StartLocation)),
      free_space_(std::move(deps.free_space)),
      total_units_(TotalFileUnits(Data())) {}

CInstallFiles::~CInstallFiles() { Stop(); }

void CInstallFiles::Start() {
  Log("CInstallFiles::InitInstance()");
  CTaskThread::Start();
}

void CInstallFiles::Stop() {
  cancel_ = true;
  CTaskThread::Stop();
}

void CInstallFiles::OnEnd() {
  Log("CInstallFiles::ExitInstance()");
  EndCopy();
}

void CInstallFiles::EndCopy() {
  if (!copy_) return;
  copy_->Stop();
  copy_.reset();
}

void CInstallFiles::OnMessage(const Message& message) {
  switch (message.id) {
    case MessageId::kInstallPartStart:
      running_ = true;
      waiting_ = Waiting::kNothing;
      progress_ = InstallProgress{};
      file_ = 0;
      StartFile();
      break;
    case MessageId::kNextAction:
      if (running_ && waiting_ == Waiting::kNothing) NextAction();
      break;
    case MessageId::kBytesProgress:
      if (waiting_ == Waiting::kCopy) {
        auto units = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(message.wparam, progress_.item_done, progress_.item_total));
        progress_.cumulative_done += units - progress_.item_done;
        progress_.item_done = units;
        PostProgress();
      }
      break;
    case MessageId::kWorkerDone:
      if (waiting_ == Waiting::kCopy) {
        EndCopy();
        waiting_ = Waiting::kNothing;
        FinishAction();
      }
      break;
    case MessageId::kError:
      if (waiting_ == Waiting::kCopy) {
        EndCopy();
        waiting_ = Waiting::kNothing;
        running_ = false;
        PostToOwner(message);
      }
      break;
    case MessageId::kAnswer:
      if (waiting_ == Waiting::kAnswer && CodeOf<QuestionId>(message) == question_) {
        waiting_ = Waiting::kNothing;
        OnAnswer(question_, message.lparam == 0);
      }
      break;
    case MessageId::kWarningAck:
      if (waiting_ == Waiting::kWarningAck) {
        waiting_ = Waiting::kNothing;
        FinishAction();
      }
      break;
    default:
      break;
  }
}

void CInstallFiles::StartFile() {
  const auto& files = Data().files;
  while (file_ < files.size() && (!files[file_].update_needed || files[file_].actions.empty()))
    ++file_;
  if (file_ >= files.size()) {
    running_ = false;
    PostToOwner(MakeMessage(MessageId::kInstallPartDone, INSTALL_PART_FILES));
    return;
  }
  action_ = 0;
  RunAction();
}

void CInstallFiles::NextAction() {
  if (file_ >= Data().files.size()) return;
  if (++action_ >= Data().files[file_].actions.size()) {
    ++file_;
    StartFile();
    return;
  }
  RunAction();
}

void CInstallFiles::RunAction() {
  std::visit(
      Overloaded{
          // Done by the download task.
          [this](const CFileActionDownload&) { PostToSelf(MakeMessage(MessageId::kNextAction)); },
          [this](const CFileActionCopy& action) { DoCopy(action); },
          [this](const CFileActionDelete& action) { DoDelete(action); },
          [this](const CFileActionRun& action) { DoRun(action); },
          [this](const CFileActionUnzip& action) { DoUnzip(action); },
          [this](const CFileActionSetFileAttr& action) { DoSetFileAttr(action); },
          [this](const CFileActionRegister& action) { DoRegister(action); },
      },
      CurrentAction());
}

const FileAction& CInstallFiles::CurrentAction() const {
  return Data().files[file_].actions[action_];
}

void CInstallFiles::Begin(std::string_view text_key) {
  progress_.item =
      FillPlaceholders(CLanguage::Instance().GetText(text_key), {Data().files[file_].name});
  progress_.item_total = ActionUnits(CurrentAction(), Data().enable_rollback);
  progress_.item_done = 0;
  PostProgress();
}

void CInstallFiles::FinishAction() {
  progress_.cumulative_done += progress_.item_total - progress_.item_done;
  progress_.item_done = progress_.item_total;
  PostProgress();
  PostToSelf(MakeMessage(MessageId::kNextAction));
}

void CInstallFiles::Fail(UpdateError code, const std::string& text, const std::string& reason) {
  running_ = false;
  PostToOwner(MakeError(code, text, ErrorDetail{0, reason, text}));
}

void CInstallFiles::PostProgress() {
  Message message = MakeMessage(MessageId::kInstallProgress);
  message.payload = progress_;
  PostToOwner(std::move(message));
}

void CInstallFiles::DoCopy(const CFileActionCopy& action) {
  Begin("IDS_ACTION_COPY");
  copy_ = std::make_unique<CCopyFile>(&journal_);
  copy_->Start();
  Message set_owner = MakeMessage(MessageId::kSetOwner);
  set_owner.payload = OwnQueue();
  copy_->Post(std::move(set_owner));
  waiting_ = Waiting::kCopy;
  copy_->Copy(Path(action.old_location), Path(action.new_location), !action.overwrite);
}

void CInstallFiles::DoDelete(const CFileActionDelete& action) {
  Begin("IDS_ACTION_DELETE");
  if (action.ask_user) {
    question_ = QuestionId::kDeleteFile;
    waiting_ = Waiting::kAnswer;
    PostToOwner(
        MakeMessage(MessageId::kQuestion, QuestionId::kDeleteFile, 0, Path(action.location)));
    return;
  }
  OnAnswer(QuestionId::kDeleteFile, true);
}

void CInstallFiles::DoRegister(const CFileActionRegister& action) {
  Begin("IDS_ACTION_REGISTER");
  if (action.ask_user) {
    question_ = QuestionId::kRegisterFile;
    waiting_ = Waiting::kAnswer;
    PostToOwner(
        MakeMessage(MessageId::kQuestion, QuestionId::kRegisterFile, 0, Path(action.location)));
    return;
  }
  OnAnswer(QuestionId::kRegisterFile, true);
}

void CInstallFiles::OnAnswer(QuestionId question, bool yes) {
  if (!yes) {
    FinishAction();
    return;
  }
  if (question == QuestionId::kDeleteFile) {
    if (const auto* remove = std::get_if<CFileActionDelete>(&CurrentAction())) {
      const std::string path = Path(remove->location);
      platform::Status deleted = DeleteRecordedFile(journal_, path);
      if (!deleted) Log("delete: " + path + " not deleted: " + deleted.message());
    }
    FinishAction();
    return;
  }
  // QuestionId::kRegisterFile
  const auto* reg = std::get_if<CFileActionRegister>(&CurrentAction());
  if (!reg) {
    FinishAction();
    return;
  }
  const std::string path = Path(reg->location);
  platform::Status recorded = journal_.RecordRegistration(path);
  bool registered = false;
  if (recorded)
    registered = RegisterComponent(path);
  else
    Log("register: cannot record the registration of " + path + ": " + recorded.message());
  if (registered) {
    FinishAction();
    return;
  }
  waiting_ = Waiting::kWarningAck;
  PostToOwner(MakeMessage(MessageId::kWarning, 0, 0, path));
}

void CInstallFiles::DoRun(const CFileActionRun& action) {
  Begin("IDS_ACTION_RUN");
  const RunTarget target = RunTargetOf(action.location);
  const std::string& location = target.location;
  if (!target.web && !platform::FileExists(location)) {
    Log("run: " + location + " not found");
    Fail(UpdateError::kFileNotFound, location, "the file does not exist");
    return;
  }
  platform::StartResult started = start_(location, action.parameters, target.working_folder);
  if (!started.status) {
    Log("run: " + started.status.message());
    Fail(UpdateError::kRunFailed, location, started.status.message());
    return;
  }
  if (started.pid > 0) {
    if (action.wait) {
      if (!WaitForChild(started.pid, cancel_)) {
        Log("run: no longer waiting for " + location);
        running_ = false;
        return;
      }
    } else {
      platform::ReleaseChild(started.pid);
    }
  }
  FinishAction();
}

void CInstallFiles::DoUnzip(const CFileActionUnzip& action) {
  Begin("IDS_ACTION_UNZIP");
  const std::string archive = Path(action.location);
  const std::string destination = Path(action.destination);
  CZipExtractor zip;
  zip.SetCancelFlag(&cancel_);
  zip.SetTemporaryFileRecorder(
      [this](const std::string& temporary) { return journal_.RecordTemporaryFile(temporary); });
  zip.SetFreeSpaceSource(free_space_);
  platform::Status opened = zip.Open(archive);
  if (opened) opened = zip.CheckFreeSpace(destination);
  if (!opened) {
    Log("unzip: " + opened.message());
    Fail(UpdateError::kUnzipFailed, archive, opened.message());
    return;
  }
  if (zip.EntryCount() == 0) {
    FinishAction();
    return;
  }
  // Everything the entries will create or replace is recorded first, and
  // reaches the disk in one piece before the extraction begins.
  journal_.HoldSync();
  platform::Status recorded = journal_.RecordFolderCreate(destination);
  for (bool more = zip.GotoFirstFile(); more && recorded; more = zip.GotoNextFile()) {
    auto entry = zip.CurrentEntry();
    if (!entry) {
      recorded = platform::Status::Fail("cannot read an entry of " + archive);
      break;
    }
    const std::string target = destination + platform::PathSeparator() + Path(entry->name);
    if (entry->is_folder) {
      recorded = journal_.RecordFolderCreate(target);
    } else {
      recorded = journal_.RecordFolderCreate(platform::FolderOf(target));
      if (recorded) recorded = journal_.RecordFileReplace(target);
    }
  }
  platform::Status synced = journal_.Sync();
  if (recorded) recorded = synced;
  if (!recorded) {
    Log("unzip: cannot record the changes of " + archive + ": " + recorded.message());
    Fail(UpdateError::kUnzipFailed, archive, recorded.message());
    return;
  }
  platform::Status extracted = zip.ExtractAll(destination, [this](std::uint64_t, std::uint64_t) {
    const std::int32_t units =
        std::min(kUnzipEntryUnits, progress_.item_total - progress_.item_done);
    if (units <= 0) return;
    progress_.item_done += units;
    progress_.cumulative_done += units;
    PostProgress();
  });
  zip.Close();
  if (cancel_) {
    running_ = false;
    return;
  }
  if (!extracted) {
    Log("unzip: " + extracted.message());
    Fail(UpdateError::kUnzipFailed, archive, extracted.message());
    return;
  }
  FinishAction();
}

void CInstallFiles::DoSetFileAttr(const CFileActionSetFileAttr& action) {
  Begin("IDS_ACTION_SETFILEATTR");
  const std::string path = Path(action.location);
  platform::Status set = SetRecordedFileAttributes(journal_, path, action.attributes);
  if (!set) Log("setfileattr: " + path + ": " + set.message());
  FinishAction();
}
