#pragma once
// A mode with windows whose pages are not there yet: it answers the process
// like the hidden mode, but lets the toolkit's loop serve the run, so that the
// dialogs the run opens have a loop and the one user-interface thread.

#include <utility>

#include "platform/file_system.h"
#include "updater/core/updater_settings.h"
#include "updater/ui/mode_hidden.h"
#include "updater/ui/window_module.h"

// The application's program as the close-application countdown looks for it.
inline std::string ApplicationExecutablePath() {
  return platform::NormalizeSeparators(CUpdaterSettings::Instance().Values().location);
}

class CModeWindowsHidden : public CModeHidden {
 public:
  CModeWindowsHidden(IModeHost& host, TaskId current_task, IWindowModule& windows)
      : CModeHidden(host, current_task), windows_(windows) {}

  IEventLoop* EventLoop() override { return &windows_.Loop(); }

 protected:
  // The proxy's credentials are asked of the person in a dialog; closing the
  // application shows the countdown (yes once the program is gone, no on
  // Cancel); the other questions are answered as in the hidden mode.
  void OnQuestion(const ModeQuestion& question) override {
    switch (question.id) {
      case QuestionId::kProxyCredentials:
        if (auto typed = windows_.AskProxyCredentials())
          AnswerCredentials(question, std::move(typed->user_name), std::move(typed->password));
        else
          Answer(question, false);
        return;
      case QuestionId::kCloseApplication:
        Answer(question, windows_.CloseApplication(question.text, ApplicationExecutablePath()));
        return;
      default:
        CModeHidden::OnQuestion(question);
    }
  }

 private:
  IWindowModule& windows_;
};
