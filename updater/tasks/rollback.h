#pragma once
// The rollback task (TASK_ROLLBACK): undoes an interrupted installation from
// its restore information and reports WMU_TASK_COMPLETE (TASK_ROLLBACK, 0), so
// that a run in any mode reaches its end after an error or a cancel during the
// installation.
//
// For now nothing is restored: the installation work fills this in.

#include "updater/process/task_thread.h"

class CRollback : public CTaskThread {
 public:
  CRollback();
  ~CRollback() override;

 protected:
  void OnMessage(const Message& message) override;
};
