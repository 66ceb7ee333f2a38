#pragma once
// The task threads of a run: TaskId::kCheckVersion -> CCheckVersion,
// TaskId::kDownload -> CDownload, TaskId::kInstall -> CInstall,
// TaskId::kRollback -> CRollback.

#include <memory>

#include "updater/process/update_process.h"
#include "updater/tasks/check/check_version.h"
#include "updater/tasks/install/install.h"

class CTaskFactory : public ITaskFactory {
 public:
  // An install without its own copy program writes the one built into the
  // updater; a check without its own network uses CCheckVersionInternet.
  explicit CTaskFactory(CheckVersionDeps check_version = {}, InstallDeps install = {});

  // A new, not yet started task thread; nullptr for any other task id.
  std::unique_ptr<CTaskThread> CreateTask(TaskId task_id) override;

 private:
  CheckVersionDeps check_version_;
  InstallDeps install_;
};
