#pragma once
// The base of every user-interface mode: it reads the raw messages of the
// process and calls one typed handler per kind, so that the modes (the hidden
// mode now; the wizard, the tray and their pages later) never decode message
// numbers or parameters. It also makes the mode's answers (the question's
// ticket travels back with the answer). No toolkit is used here.

#include <cstdint>
#include <string>

#include "updater/process/mode.h"

// An error as the mode receives it.
struct ModeError {
  UpdateError code = UpdateError::kUnknown;
  // The code's argument: the bytes needed (UpdateError::kNoDiskSpace), else 0.
  std::int64_t argument = 0;
  std::string item;    // the file, address or application concerned
  ErrorDetail detail;  // the reason; empty fields when the error has none
};

// A question as the mode receives it; answer it with Answer or AnswerCredentials.
struct ModeQuestion {
  QuestionId id = QuestionId::kDeleteFile;
  std::string text;  // the file or the application it is about
  Message message;   // the question itself, with its identity
};

// Progress of the current item (a file): percent, or, for a file of unknown
// size (percent 0), the bytes received so far.
struct ItemProgress {
  int percent = 0;
  std::int64_t bytes = 0;
  std::string item;
};

class CModeBase : public CMode {
 public:
  explicit CModeBase(IModeHost& host) : host_(host) {}

  // Decodes the message and calls its handler; other messages are ignored.
  void OnMessage(const Message& message) final;

 protected:
  virtual void OnTaskStarted(TaskId /*task*/) {}
  virtual void OnTaskComplete(TaskId /*task*/, std::int64_t /*result*/) {}
  virtual void OnStatusChanged() {}
  virtual void OnItemProgress(const ItemProgress& /*progress*/) {}
  virtual void OnTotalProgress(int /*percent*/) {}
  virtual void OnError(const ModeError& /*error*/) {}
  // A file could not be registered; acknowledge with AcknowledgeWarning.
  virtual void OnWarning(const std::string& /*item*/) {}
  virtual void OnQuestion(const ModeQuestion& /*question*/) {}
  virtual void OnNotifier(const std::string& /*title*/, const std::string& /*text*/) {}
  // A timer the mode started with StartTimer has run out.
  virtual void OnTimer(std::int64_t /*timer*/, std::int64_t /*round*/) {}

  // What a mode says to the process.
  void Answer(const ModeQuestion& question, bool yes);
  // Answers QuestionId::kProxyCredentials with what the user entered.
  void AnswerCredentials(const ModeQuestion& question, std::string user_name, std::string password);
  void AcknowledgeWarning();
  void CompleteTask(TaskId task);
  void Command(CommandCode code, std::int64_t argument = 0);
  void CommandLater(CommandCode code, std::int64_t delay_ms);
  // Calls OnTimer(timer, round) once, delay_ms from now, in the order of the
  // mode's messages (a timer of the queue, never a sleep).
  void StartTimer(std::int64_t timer, std::int64_t round, std::int64_t delay_ms);

  IModeHost& Host() { return host_; }

 private:
  IModeHost& host_;
};
