#include "updater/tasks/task_factory.h"

#include <utility>

#include "updater/tasks/check/check_version_internet.h"
#include "updater/tasks/download/download.h"
#include "updater/tasks/rollback/rollback.h"
#include "updater/tasks/self_update/embedded_copy_program.h"
#include "updater/tasks/self_update/self_update.h"

CTaskFactory::CTaskFactory(CheckVersionDeps check_version, InstallDeps install)
    : check_version_(std::move(check_version)), install_(std::move(install)) {
  if (!install_.copy_program) install_.copy_program = [] { return EmbeddedCopyProgram(); };
  // The check prepares the replacement of the updater from the self-update
  // description on the process-wide records.
  if (!check_version_.prepare_self_update)
    check_version_.prepare_self_update = [](const std::string& path) { PrepareSelfUpdate(path); };
  // The check for a new version uses the process-wide internet object.
  if (!check_version_.network) check_version_.network = std::make_shared<CCheckVersionInternet>();
}

std::unique_ptr<CTaskThread> CTaskFactory::CreateTask(TaskId task_id) {
  switch (task_id) {
    case TaskId::kCheckVersion:
      return std::make_unique<CCheckVersion>(check_version_);
    case TaskId::kDownload:
      return std::make_unique<CDownload>();
    case TaskId::kInstall:
      return std::make_unique<CInstall>(install_);
    case TaskId::kRollback:
      return std::make_unique<CRollback>();
    default:
      return nullptr;
  }
}
