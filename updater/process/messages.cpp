#include "updater/process/messages.h"

const char* TaskName(TaskId task) {
  switch (task) {
    case TaskId::kWorker:
      return "";
    case TaskId::kInit:
      return "TASK_INIT";
    case TaskId::kCheckVersion:
      return "TASK_CHECKVERSION";
    case TaskId::kHtmlMessage:
      return "TASK_HTMLMESSAGE";
    case TaskId::kLicense:
      return "TASK_LICENSE";
    case TaskId::kSelectUpdate:
      return "TASK_SELECTUPDATE";
    case TaskId::kDownload:
      return "TASK_DOWNLOAD";
    case TaskId::kInstall:
      return "TASK_INSTALL";
    case TaskId::kRollback:
      return "TASK_ROLLBACK";
  }
  return "";
}
