#include "updater/tasks/rollback.h"

CRollback::CRollback() : CTaskThread(TASK_ROLLBACK) {}

CRollback::~CRollback() { Stop(); }

void CRollback::OnMessage(const Message& message) {
  if (message.id != WMU_COMMAND) return;
  if (message.wparam == COMMAND_START_WORKING) {
    // RESTORE SEAM: the restore information is applied here.
    PostToOwner(MakeMessage(WMU_TASK_COMPLETE, TASK_ROLLBACK, 0));
    EndThread();
  } else if (message.wparam == COMMAND_FINISH || message.wparam == COMMAND_CANCEL) {
    EndThread();
  }
}
