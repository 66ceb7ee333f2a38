#pragma once
// The task threads of a run: TASK_CHECKVERSION -> CCheckVersion,
// TASK_INSTALL -> CInstall, TASK_ROLLBACK -> CRollback.
//
// TASK_DOWNLOAD gives nullptr until its task exists: the
// update process then ends the run in order (nothing was installed, so
// nothing is finished or recorded). A stand-in that reported completion at
// once would make the process take the installation as done and record the
// new version although nothing was downloaded or installed.

#include <memory>

#include "updater/process/update_process.h"
#include "updater/tasks/check_version.h"
#include "updater/tasks/install.h"

class CTaskFactory : public ITaskFactory {
 public:
  // An install without its own copy program writes the one built into the
  // updater; a check without its own network uses CCheckVersionInternet.
  explicit CTaskFactory(CheckVersionDeps check_version = {}, InstallDeps install = {});

  // A new, not yet started task thread; nullptr for any other task id.
  std::unique_ptr<CTaskThread> CreateTask(int task_id) override;

 private:
  CheckVersionDeps check_version_;
  InstallDeps install_;
};
