#include "updater/tasks/rollback/rollback.h"

#include <string>

#include "updater/core/updater_log.h"
#include "updater/tasks/install/component_registration.h"

CRollback::CRollback(CChangeJournal* journal)
    : CTaskThread(TaskId::kRollback), journal_(journal ? *journal : CChangeJournal::Instance()) {}

CRollback::~CRollback() { Stop(); }

void CRollback::OnMessage(const Message& message) {
  if (message.id != MessageId::kCommand) return;
  if (CodeOf<CommandCode>(message) == CommandCode::kStartWorking) {
    CUpdaterLog& log = CUpdaterLog::Instance();
    log.WriteLine("rollback: undoing " + std::to_string(journal_.Size()) + " changes");
    auto failures = journal_.Rollback(UnregisterComponent);
    if (failures.empty())
      log.WriteLine("rollback: every change was undone");
    else
      log.WriteLine("rollback: " + std::to_string(failures.size()) + " changes not undone");
    // The result is the number of changes that could not be undone.
    PostToOwner(MakeMessage(MessageId::kTaskComplete, TaskId::kRollback,
                            static_cast<std::int64_t>(failures.size())));
    EndThread();
  } else if (CodeOf<CommandCode>(message) == CommandCode::kFinish ||
             CodeOf<CommandCode>(message) == CommandCode::kCancel) {
    EndThread();
  }
}
