#pragma once
// The update process's side of a question asked from another thread, for the
// tests of the transfer: takes the question from the process queue, opens it
// with a CAskUser as the process does, and answers it as the mode would.

#include <memory>
#include <optional>
#include <string>

#include "updater/process/ask_user.h"
#include "updater/process/message_queue.h"

class ProcessThreadAnswers {
 public:
  explicit ProcessThreadAnswers(std::shared_ptr<CMessageQueue> queue) : queue_(std::move(queue)) {}

  // Waits at most timeout_ms for the next question and opens it for the mode
  // of generation 1; nullopt when none came.
  std::optional<Message> TakeQuestion(std::int64_t timeout_ms) {
    auto question = queue_->TakeFor(timeout_ms);
    if (!question || question->id != MessageId::kQuestion) return std::nullopt;
    Message for_mode = ask_.Open(*question, 1);
    for_mode.interface_generation = 1;
    return for_mode;
  }
  // The mode's answer, taken by the process.
  bool Answer(const Message& question, bool yes, std::string user_name = {},
              std::string password = {}) {
    return ask_.Answer(MakeAnswer(question, yes, std::move(user_name), std::move(password)), 1);
  }
  CAskUser& Ask() { return ask_; }

 private:
  class NoServices : public IProcessServices {
   public:
    bool FileExists(const std::string&) override { return false; }
    void StartProgram(const std::string&, const std::string&, const std::string&) override {}
    bool IsProcessRunning(const std::string&) override { return false; }
    bool CloseApplication(const std::string&, const std::string&) override { return false; }
    bool Confirm(const std::string&, const std::string&, const std::string&, const std::string&,
                 const std::string&) override {
      return false;
    }
  };

  std::shared_ptr<CMessageQueue> queue_;
  NoServices services_;
  CAskUser ask_{CAskUser::Deps{.dialogs = DialogService(),
                               .services = services_,
                               .show_about = nullptr,
                               .answer_task = nullptr}};
};
