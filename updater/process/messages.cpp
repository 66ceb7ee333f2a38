#include "updater/process/messages.h"

const char* TaskName(int task) {
  switch (task) {
    case TASK_INIT:
      return "TASK_INIT";
    case TASK_CHECKVERSION:
      return "TASK_CHECKVERSION";
    case TASK_HTMLMESSAGE:
      return "TASK_HTMLMESSAGE";
    case TASK_LICENSE:
      return "TASK_LICENSE";
    case TASK_SELECTUPDATE:
      return "TASK_SELECTUPDATE";
    case TASK_DOWNLOAD:
      return "TASK_DOWNLOAD";
    case TASK_INSTALL:
      return "TASK_INSTALL";
    case TASK_ROLLBACK:
      return "TASK_ROLLBACK";
    default:
      return "";
  }
}
