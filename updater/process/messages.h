#pragma once
// The messages that link the user interface, the update process, the tasks and
// their workers. A message owns its payload: texts travel as copies, so no
// receiver ever reads memory its sender has freed.

#include <any>
#include <cstdint>
#include <string>
#include <type_traits>

// Message identifiers (the application range starts at 0x8000). The log and
// the tests print a message by its number.
enum class MessageId : std::uint32_t {
  kQuit = 0x0012,  // ends the loop of the receiving thread
  kError = 0x8002,
  kTaskStarted = 0x8003,
  kTaskComplete = 0x8004,
  kStatusChanged = 0x8005,
  kItemProgress = 0x8006,
  kTotalProgress = 0x8007,
  kSetOwner = 0x8009,
  kTrayNotify = 0x800A,
  kCommand = 0x800B,
  kBytesProgress = 0x800C,
  kWorkerDone = 0x800D,
  kWorkerStart = 0x800E,
  kInstallProgress = 0x8010,
  kInstallPartDone = 0x8011,
  kInstallPartStart = 0x8012,
  kNextSection = 0x8013,
  kNextAction = 0x8014,
  kShowAbout = 0x8018,
  kWarning = 0x8019,
  kWarningAck = 0x801A,
  kQuestion = 0x801B,
  kAnswer = 0x801C,
  kShowNotifier = 0x801D,
  kChangeMode = 0x801E,
  // A mode's own timer, posted to itself (wparam: which timer, lparam: the
  // round it belongs to, so that a timer of an earlier round is known).
  kModeTimer = 0x801F,
};

// Codes of MessageId::kCommand (its wparam).
enum class CommandCode : int {
  kStartWorking = 0,  // to a task
  kNextTask = 3,
  kSkipNextTask = 4,
  kFinish = 5,
  kCancel = 6,
  kStartTask = 7,  // lparam: the task
};

// Task identifiers; 4 and 8 stand for no task.
enum class TaskId : int {
  kWorker = -1,  // a worker thread of a task, itself no task
  kInit = 0,
  kCheckVersion = 1,
  kHtmlMessage = 2,
  kLicense = 3,
  kSelectUpdate = 5,
  kDownload = 6,
  kInstall = 7,
  kRollback = 9,
};

// Error codes of MessageId::kError (its wparam).
enum class UpdateError : int {
  kUnknown = 0,
  kNoConnection = 1,
  kServer = 2,
  kNoDiskSpace = 3,
  kFileNotFound = 4,
  kCopyFailed = 5,
  kDeleteFailed = 6,
  kRunFailed = 7,
  kCloseApplication = 8,
  kFileCorrupt = 9,
  kNoNewVersion = 10,
  kWriteFailed = 11,
  kUnzipFailed = 12,
};

// Question identifiers of MessageId::kQuestion (its wparam); the answer is 0
// for yes, 1 for no.
enum class QuestionId : int {
  kDeleteFile = 1,
  kCloseApplication = 2,
  kRegisterFile = 3,
  // The proxy asks for a user name and password (from the transfer; the yes
  // answer carries them in its ticket).
  kProxyCredentials = 4,
};

// The number an identifier or code travels as (in a parameter, in the log).
template <typename Enum>
requires std::is_enum_v<Enum>
constexpr std::underlying_type_t<Enum> ToNumber(Enum value) {
  return static_cast<std::underlying_type_t<Enum>>(value);
}

// Why an operation failed: the payload of MessageId::kError, so that the
// process and the mode can say more than the code. Any field may be empty.
struct ErrorDetail {
  long http_status = 0;  // the server's HTTP status; 0 when none was received
  std::string reason;    // the text of the library or the system
  std::string location;  // the file or the address concerned
};

// The identity of a question: the update process gives every question it
// passes to a mode a ticket (MessageId::kQuestion's payload), and the mode's
// answer (MessageId::kAnswer) carries it back, so that an answer is matched to
// its question and an answer of a mode that has since been replaced is known.
struct QuestionTicket {
  std::uint64_t serial = 0;      // the question's number in the run (from 1)
  std::uint64_t generation = 0;  // the mode it was asked of
  // QuestionId::kProxyCredentials, in a yes answer: what the user entered.
  std::string user_name;
  std::string password;
};

struct Message {
  MessageId id{};
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

inline Message MakeMessage(MessageId id, std::int64_t wparam = 0, std::int64_t lparam = 0,
                           std::string text = {}, std::string text2 = {}) {
  Message m;
  m.id = id;
  m.wparam = wparam;
  m.lparam = lparam;
  m.text = std::move(text);
  m.text2 = std::move(text2);
  return m;
}

// A message whose wparam is a code (an error, a command, a task, a question).
template <typename Code>
requires std::is_enum_v<Code> Message MakeMessage(MessageId id, Code wparam,
                                                  std::int64_t lparam = 0, std::string text = {},
                                                  std::string text2 = {}) {
  return MakeMessage(id, ToNumber(wparam), lparam, std::move(text), std::move(text2));
}

// The wparam of a message read as the code it carries.
template <typename Code>
requires std::is_enum_v<Code> Code CodeOf(const Message& m) { return static_cast<Code>(m.wparam); }

// MessageId::kError with `code`, the text the log line names and the reason.
inline Message MakeError(UpdateError code, std::string text, ErrorDetail detail,
                         std::int64_t lparam = 0) {
  Message m = MakeMessage(MessageId::kError, code, lparam, std::move(text));
  m.payload = std::move(detail);
  return m;
}

// The reason an error message carries; nullptr when it carries none.
inline const ErrorDetail* ErrorDetailOf(const Message& m) {
  return m.id == MessageId::kError ? std::any_cast<ErrorDetail>(&m.payload) : nullptr;
}

// The ticket a question or an answer carries; nullptr when it carries none.
inline const QuestionTicket* TicketOf(const Message& m) {
  return m.id == MessageId::kQuestion || m.id == MessageId::kAnswer
             ? std::any_cast<QuestionTicket>(&m.payload)
             : nullptr;
}

// The answer to `question` (as the mode received it): yes (0) or no (1), with
// the question's ticket; credentials only for QuestionId::kProxyCredentials.
inline Message MakeAnswer(const Message& question, bool yes, std::string user_name = {},
                          std::string password = {}) {
  Message answer = MakeMessage(MessageId::kAnswer, question.wparam, yes ? 0 : 1);
  QuestionTicket ticket;
  if (const QuestionTicket* asked = TicketOf(question)) ticket = *asked;
  if (ticket.generation == 0) ticket.generation = question.interface_generation;
  ticket.user_name = yes ? std::move(user_name) : std::string();
  ticket.password = yes ? std::move(password) : std::string();
  answer.payload = std::move(ticket);
  return answer;
}

// The name of a task as the log writes it ("TASK_DOWNLOAD"); "" for no task.
const char* TaskName(TaskId task);
