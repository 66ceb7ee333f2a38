#include "updater/ui/mode_base.h"

#include <utility>

void CModeBase::OnMessage(const Message& message) {
  switch (message.id) {
    case MessageId::kTaskStarted:
      OnTaskStarted(CodeOf<TaskId>(message));
      break;
    case MessageId::kTaskComplete:
      OnTaskComplete(CodeOf<TaskId>(message), message.lparam);
      break;
    case MessageId::kStatusChanged:
      OnStatusChanged();
      break;
    case MessageId::kItemProgress: {
      ItemProgress progress;
      progress.percent = static_cast<int>(message.wparam);
      progress.bytes = message.lparam;
      progress.item = message.text;
      OnItemProgress(progress);
      break;
    }
    case MessageId::kTotalProgress:
      OnTotalProgress(static_cast<int>(message.wparam));
      break;
    case MessageId::kError: {
      ModeError error;
      error.code = CodeOf<UpdateError>(message);
      error.argument = message.lparam;
      error.item = message.text;
      if (const ErrorDetail* detail = ErrorDetailOf(message)) error.detail = *detail;
      OnError(error);
      break;
    }
    case MessageId::kWarning:
      OnWarning(message.text);
      break;
    case MessageId::kQuestion: {
      ModeQuestion question;
      question.id = CodeOf<QuestionId>(message);
      question.text = message.text;
      question.message = message;
      OnQuestion(question);
      break;
    }
    case MessageId::kShowNotifier:
      OnNotifier(message.text, message.text2);
      break;
    case MessageId::kModeTimer:
      OnTimer(message.wparam, message.lparam);
      break;
    default:
      break;
  }
}

void CModeBase::Answer(const ModeQuestion& question, bool yes) {
  host_.PostToProcess(MakeAnswer(question.message, yes));
}

void CModeBase::AnswerCredentials(const ModeQuestion& question, std::string user_name,
                                  std::string password) {
  host_.PostToProcess(
      MakeAnswer(question.message, true, std::move(user_name), std::move(password)));
}

void CModeBase::AcknowledgeWarning() { host_.PostToProcess(MakeMessage(MessageId::kWarningAck)); }

void CModeBase::CompleteTask(TaskId task) {
  host_.PostToProcess(MakeMessage(MessageId::kTaskComplete, task, 0));
}

void CModeBase::Command(CommandCode code, std::int64_t argument) {
  host_.PostToProcess(MakeMessage(MessageId::kCommand, code, argument));
}

void CModeBase::CommandLater(CommandCode code, std::int64_t delay_ms) {
  host_.PostToProcessDelayed(MakeMessage(MessageId::kCommand, code, 0), delay_ms);
}

void CModeBase::StartTimer(std::int64_t timer, std::int64_t round, std::int64_t delay_ms) {
  host_.PostToInterfaceDelayed(MakeMessage(MessageId::kModeTimer, timer, round), delay_ms);
}
