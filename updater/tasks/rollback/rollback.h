#pragma once
// The rollback task (TaskId::kRollback): undoes an interrupted or failed
// installation from the change journal, the last change first, and reports
// MessageId::kTaskComplete (TaskId::kRollback, 0), so that a run in any mode reaches its
// end after an error or a cancel during the installation. Registered
// components are unregistered; changes that cannot be undone are logged.
//
// The install task's threads have ended before this task starts (the update
// process ends one task thread before it starts the next), so nothing changes
// the files while they are put back.

#include "updater/process/task_thread.h"
#include "updater/tasks/rollback/change_journal.h"

class CRollback : public CTaskThread {
 public:
  // journal: what is undone; nullptr takes the process-wide one.
  explicit CRollback(CChangeJournal* journal = nullptr);
  ~CRollback() override;

 protected:
  void OnMessage(const Message& message) override;

 private:
  CChangeJournal& journal_;
};
