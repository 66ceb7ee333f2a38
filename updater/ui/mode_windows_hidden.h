#pragma once
// A mode with windows whose pages are not there yet: it answers the process
// like the hidden mode, but lets the toolkit's loop serve the run, so that the
// dialogs the run opens have a loop and the one user-interface thread.

#include <utility>

#include "updater/ui/mode_hidden.h"
#include "updater/ui/window_module.h"

class CModeWindowsHidden : public CModeHidden {
 public:
  CModeWindowsHidden(IModeHost& host, TaskId current_task, IWindowModule& windows)
      : CModeHidden(host, current_task), windows_(windows) {}

  IEventLoop* EventLoop() override { return &windows_.Loop(); }

 protected:
  // The proxy's credentials are asked of the person in a dialog; the other
  // questions are answered as in the hidden mode.
  void OnQuestion(const ModeQuestion& question) override {
    if (question.id != QuestionId::kProxyCredentials) {
      CModeHidden::OnQuestion(question);
      return;
    }
    if (auto typed = windows_.AskProxyCredentials())
      AnswerCredentials(question, std::move(typed->user_name), std::move(typed->password));
    else
      Answer(question, false);
  }

 private:
  IWindowModule& windows_;
};
