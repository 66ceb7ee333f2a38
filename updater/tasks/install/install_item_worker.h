#pragma once
// CInstallItemWorker: the common run of the install sub-workers that handle one
// list of update-file items (INI, registry). It steps through the items one
// message at a time, reports one progress unit per item and a write error per
// failed item, and ends with MessageId::kInstallPartDone.
//
// Messages: MessageId::kSetOwner (the install task's queue), MessageId::kInstallPartStart
// (start with the first item), MessageId::kNextSection (the next item; posted to
// itself after each item). To the owner: MessageId::kInstallProgress (payload: a copy
// of its InstallProgress), MessageId::kError UpdateError::kWriteFailed (text: what WriteItem
// returned) after which it goes on with the next item, and
// MessageId::kInstallPartDone with its part after the last item (at once when there
// is none).

#include <cstddef>
#include <cstdint>
#include <string>

#include "updater/process/task_thread.h"
#include "updater/tasks/install/install_progress.h"
#include "updater/tasks/rollback/change_journal.h"

class CInstallItemWorker : public CTaskThread {
 public:
  // Units of the whole part: one per item.
  std::int32_t TotalUnits() const { return total_units_; }
  void Start() override;

 protected:
  // name: the class name the start and end log lines carry; label_id: the
  // language text that names the current item in the progress.
  CInstallItemWorker(CChangeJournal* journal, std::string name, InstallPart part,
                     std::int32_t label_id, std::size_t item_count);

  void OnMessage(const Message& message) override;
  void OnEnd() override;

  // Writes item `index`; "" on success, else the text of the error report.
  virtual std::string WriteItem(std::size_t index) = 0;
  // The number of items now (the list may not change during the part).
  virtual std::size_t ItemCount() const = 0;

  CChangeJournal& Journal() const { return journal_; }
  // The current item's progress label.
  const std::string& ItemLabel() const { return progress_.item; }

 private:
  void ProcessItem();
  void PostProgress();

  CChangeJournal& journal_;
  const std::string name_;
  const InstallPart part_;
  const std::int32_t label_id_;
  const std::int32_t total_units_;
  std::size_t index_ = 0;
  bool running_ = false;
  InstallProgress progress_;
};
