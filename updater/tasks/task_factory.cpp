#include "updater/tasks/task_factory.h"

#include <utility>

#include "updater/tasks/rollback.h"

CTaskFactory::CTaskFactory(CheckVersionDeps check_version)
    : check_version_(std::move(check_version)) {}

std::unique_ptr<CTaskThread> CTaskFactory::CreateTask(int task_id) {
  switch (task_id) {
    case TASK_CHECKVERSION:
      return std::make_unique<CCheckVersion>(check_version_);
    case TASK_ROLLBACK:
      return std::make_unique<CRollback>();
    default:
      // TASK_DOWNLOAD and TASK_INSTALL: not available yet (see the header).
      return nullptr;
  }
}
