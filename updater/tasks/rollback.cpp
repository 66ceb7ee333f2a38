#include "updater/tasks/rollback.h"

#include <string>

#include "updater/core/updater_log.h"
#include "updater/tasks/component_registration.h"

CRollback::CRollback(CChangeJournal* journal)
    : CTaskThread(TASK_ROLLBACK), journal_(journal ? *journal : CChangeJournal::Instance()) {}

CRollback::~CRollback() { Stop(); }

void CRollback::OnMessage(const Message& message) {
  if (message.id != WMU_COMMAND) return;
  if (message.wparam == COMMAND_START_WORKING) {
    CUpdaterLog& log = CUpdaterLog::Instance();
    log.WriteLine("rollback: undoing " + std::to_string(journal_.Size()) + " changes");
    auto failures = journal_.Rollback(UnregisterComponent);
    if (failures.empty())
      log.WriteLine("rollback: every change was undone");
    else
      log.WriteLine("rollback: " + std::to_string(failures.size()) + " changes not undone");
    // The result is the number of changes that could not be undone.
    PostToOwner(
        MakeMessage(WMU_TASK_COMPLETE, TASK_ROLLBACK, static_cast<std::int64_t>(failures.size())));
    EndThread();
  } else if (message.wparam == COMMAND_FINISH || message.wparam == COMMAND_CANCEL) {
    EndThread();
  }
}
