#include "updater/tasks/install/install_item_worker.h"

#include "updater/core/language.h"
#include "updater/core/updater_log.h"
#include "updater/tasks/progress_weights.h"

CInstallItemWorker::CInstallItemWorker(CChangeJournal* journal, std::string name, InstallPart part,
                                       std::int32_t label_id, std::size_t item_count)
    : CTaskThread(TaskId::kInstall),
      journal_(journal ? *journal : CChangeJournal::Instance()),
      name_(std::move(name)),
      part_(part),
      label_id_(label_id),
      total_units_(static_cast<std::int32_t>(item_count) * kInstallItemUnits) {}

void CInstallItemWorker::Start() {
  CUpdaterLog::Instance().WriteLine(name_ + "::InitInstance()");
  CTaskThread::Start();
}

void CInstallItemWorker::OnEnd() { CUpdaterLog::Instance().WriteLine(name_ + "::ExitInstance()"); }

void CInstallItemWorker::OnMessage(const Message& message) {
  if (message.id == MessageId::kInstallPartStart) {
    index_ = 0;
    running_ = true;
    progress_ = InstallProgress{};
  } else if (message.id == MessageId::kNextSection && running_) {
    ++index_;
  } else {
    return;
  }
  if (index_ >= ItemCount()) {
    running_ = false;
    PostToOwner(MakeMessage(MessageId::kInstallPartDone, part_));
    return;
  }
  ProcessItem();
}

void CInstallItemWorker::ProcessItem() {
  progress_.item = CLanguage::Instance().GetText(label_id_);
  progress_.item_total = kInstallItemUnits;
  progress_.item_done = 0;
  PostProgress();

  std::string error = WriteItem(index_);
  if (!error.empty())
    PostToOwner(MakeError(UpdateError::kWriteFailed, error, ErrorDetail{0, error, {}}));

  progress_.cumulative_done += kInstallItemUnits;
  progress_.item_done = kInstallItemUnits;
  PostProgress();
  PostToSelf(MakeMessage(MessageId::kNextSection));
}

void CInstallItemWorker::PostProgress() {
  Message message = MakeMessage(MessageId::kInstallProgress);
  message.payload = progress_;
  PostToOwner(std::move(message));
}
