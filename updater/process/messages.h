#pragma once
// The messages that link the user interface, the update process, the tasks and
// their workers. A message owns its payload: texts travel as copies, so no
// receiver ever reads memory its sender has freed.

#include <any>
#include <cstdint>
#include <string>

// Message identifiers (the application range starts at 0x8000).
enum MessageId : std::uint32_t {
  WMU_QUIT = 0x0012,  // ends the loop of the receiving thread
  WMU_ERROR = 0x8002,
  WMU_TASK_STARTED = 0x8003,
  WMU_TASK_COMPLETE = 0x8004,
  WMU_STATUS_CHANGED = 0x8005,
  WMU_ITEM_PROGRESS = 0x8006,
  WMU_TOTAL_PROGRESS = 0x8007,
  WMU_SET_OWNER = 0x8009,
  WMU_TRAY_NOTIFY = 0x800A,
  WMU_COMMAND = 0x800B,
  WMU_BYTES_PROGRESS = 0x800C,
  WMU_WORKER_DONE = 0x800D,
  WMU_WORKER_START = 0x800E,
  WMU_INSTALL_PROGRESS = 0x8010,
  WMU_INSTALL_PART_DONE = 0x8011,
  WMU_INSTALL_PART_START = 0x8012,
  WMU_NEXT_SECTION = 0x8013,
  WMU_NEXT_ACTION = 0x8014,
  WMU_SHOW_ABOUT = 0x8018,
  WMU_WARNING = 0x8019,
  WMU_WARNING_ACK = 0x801A,
  WMU_QUESTION = 0x801B,
  WMU_ANSWER = 0x801C,
  WMU_SHOW_NOTIFIER = 0x801D,
  WMU_CHANGE_MODE = 0x801E,
};

// Codes of WMU_COMMAND.
enum CommandCode : int {
  COMMAND_START_WORKING = 0,  // to a task
  COMMAND_NEXT_TASK = 3,
  COMMAND_SKIP_NEXT_TASK = 4,
  COMMAND_FINISH = 5,
  COMMAND_CANCEL = 6,
  COMMAND_START_TASK = 7,  // lparam: the task
};

// Task identifiers; 4 and 8 stand for no task.
enum TaskId : int {
  TASK_INIT = 0,
  TASK_CHECKVERSION = 1,
  TASK_HTMLMESSAGE = 2,
  TASK_LICENSE = 3,
  TASK_SELECTUPDATE = 5,
  TASK_DOWNLOAD = 6,
  TASK_INSTALL = 7,
  TASK_ROLLBACK = 9,
};

// Error codes of WMU_ERROR.
enum ErrorCode : int {
  ERROR_UNKNOWN = 0,
  ERROR_NO_CONNECTION = 1,
  ERROR_SERVER = 2,
  ERROR_NO_DISK_SPACE = 3,
  ERROR_FILE_NOT_FOUND = 4,
  ERROR_COPY_FAILED = 5,
  ERROR_DELETE_FAILED = 6,
  ERROR_RUN_FAILED = 7,
  ERROR_CLOSE_APPLICATION = 8,
  ERROR_FILE_CORRUPT = 9,
  ERROR_NO_NEW_VERSION = 10,
  ERROR_WRITE_FAILED = 11,
  ERROR_UNZIP_FAILED = 12,
};

// Question identifiers of WMU_QUESTION; the answer is 0 for yes, 1 for no.
enum QuestionId : int {
  QUESTION_DELETE_FILE = 1,
  QUESTION_CLOSE_APPLICATION = 2,
  QUESTION_REGISTER_FILE = 3,
};

struct Message {
  std::uint32_t id = 0;
  std::int64_t wparam = 0;
  std::int64_t lparam = 0;
  std::string text;   // the text a parameter points to (file name, title, mode, item name)
  std::string text2;  // a second text (the notifier's description)
  std::any payload;   // a record the message carries (a progress record, an owner)
  // Set by the update process on messages for the user interface: the
  // generation of the mode they are meant for (a mode that has been replaced
  // never receives them). 0 for messages to a thread.
  std::uint64_t interface_generation = 0;
};

inline Message MakeMessage(std::uint32_t id, std::int64_t wparam = 0, std::int64_t lparam = 0,
                           std::string text = {}, std::string text2 = {}) {
  Message m;
  m.id = id;
  m.wparam = wparam;
  m.lparam = lparam;
  m.text = std::move(text);
  m.text2 = std::move(text2);
  return m;
}

// The name of a task as the log writes it ("TASK_DOWNLOAD"); "" for no task.
const char* TaskName(int task);
