#pragma once
// CInstallIni: the second sub-worker of the install task. It writes every INI
// item of the update file into its INI file, recording each change in the
// change journal first, and reports one progress unit per item.
//
// Messages: WMU_SET_OWNER (the install task's queue), WMU_INSTALL_PART_START
// (start with the first item), WMU_NEXT_SECTION (the next item; posted to
// itself after each item). To the owner: WMU_INSTALL_PROGRESS (payload: a copy
// of its InstallProgress), WMU_ERROR ERROR_WRITE_FAILED (text: the item text,
// or the INI file's name when the value could not be written) after which it
// goes on with the next item, and WMU_INSTALL_PART_DONE INSTALL_PART_INI after
// the last item (at once when there is none).

#include <cstddef>
#include <cstdint>
#include <string>

#include "updater/process/task_thread.h"
#include "updater/tasks/change_journal.h"
#include "updater/tasks/install_progress.h"

class CInstallIni : public CTaskThread {
 public:
  // journal: where changes are recorded; nullptr takes the process-wide one.
  explicit CInstallIni(CChangeJournal* journal = nullptr);
  ~CInstallIni() override;

  void Start() override;
  // Units of the whole part: one per INI item of the update file.
  std::int32_t TotalUnits() const { return total_units_; }

 protected:
  void OnMessage(const Message& message) override;
  void OnEnd() override;

 private:
  void ProcessItem();
  // Writes the current item; "" on success, else the text of the error report.
  std::string WriteItem();
  void PostProgress();

  CChangeJournal& journal_;
  const std::int32_t total_units_;
  std::size_t index_ = 0;
  bool running_ = false;
  InstallProgress progress_;
};
