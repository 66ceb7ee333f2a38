#pragma once
// The one way the updater asks its user during a run. The update process owns
// it and uses it on its own thread (the user-interface thread); everything
// that needs the user reaches it through the process:
//
// - questions that travel as messages (MessageId::kQuestion): a task's
//   question (delete or register a file, close the application), and the
//   proxy credentials asked from the transfer thread, which waits for the
//   answer in a CAnswerSlot carried by the question. Each question gets a
//   ticket (its serial number and the generation of the mode asked); the
//   mode's answer names it. An answer for a question that is no longer open,
//   or from a mode that has been replaced, is dropped. Cancel and the end of
//   the run close every open question once: a waiting thread gets "no", a
//   task is told by its cancel command. A new mode is asked the open
//   questions again with new tickets.
// - the modal windows of the process thread: the confirmation of an event
//   action, the About box, and the dialog service for the finishing work.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "updater/core/dialog_service.h"
#include "updater/process/answer_slot.h"
#include "updater/process/messages.h"
#include "updater/process/process_services.h"

// A modal yes/no confirmation.
struct ConfirmRequest {
  std::string caption;
  std::string heading;
  std::string text;
  std::string yes_text;
  std::string no_text;
};

class CAskUser {
 public:
  struct Deps {
    IDialogService& dialogs;
    IProcessServices& services;        // its Confirm shows the confirmation
    std::function<void()> show_about;  // empty: no About box
    // Delivers an answer to the task that asked (the running task thread).
    std::function<void(Message)> answer_task;
  };

  explicit CAskUser(Deps deps);

  // Opens the question `question` asks (from a task, or with a CAnswerSlot
  // payload from another thread) and returns the message for the mode of
  // `generation`, which carries the ticket.
  Message Open(const Message& question, std::uint64_t generation);
  // Closes the question `answer` names and delivers the answer. False, and
  // nothing delivered, when the answer is stale: its question is not open (or
  // no longer), or it comes from a mode other than the one of `generation`.
  bool Answer(const Message& answer, std::uint64_t generation);
  // Closes every open question as "no": cancel, the end of the run, no mode.
  void AnswerAllNo();
  // The open questions, ticketed anew for the mode of `generation`, oldest first.
  std::vector<Message> AskAgain(std::uint64_t generation);
  std::size_t OpenQuestions() const { return open_.size(); }

  // The modal windows (process thread only).
  bool Confirm(const ConfirmRequest& request);
  void ShowAbout();
  bool HasAbout() const { return static_cast<bool>(deps_.show_about); }
  IDialogService& Dialogs() { return deps_.dialogs; }

 private:
  struct OpenQuestion {
    std::uint64_t serial = 0;
    std::uint64_t generation = 0;       // the mode last asked
    Message question;                   // as the asker sent it (without its slot)
    std::shared_ptr<CAnswerSlot> slot;  // nullptr: a task's question
  };
  Message ForMode(const OpenQuestion& open) const;
  std::deque<OpenQuestion>::iterator Find(const Message& answer);

  Deps deps_;
  std::deque<OpenQuestion> open_;
  std::uint64_t next_serial_ = 1;
};
