#pragma once
// A mode with windows whose pages are not there yet: it answers the process
// like the hidden mode, but lets the toolkit's loop serve the run, so that the
// dialogs the run opens have a loop and the one user-interface thread.

#include "updater/ui/mode_hidden.h"

class CModeWindowsHidden : public CModeHidden {
 public:
  CModeWindowsHidden(IModeHost& host, TaskId current_task, IEventLoop& loop)
      : CModeHidden(host, current_task), loop_(loop) {}

  IEventLoop* EventLoop() override { return &loop_; }

 private:
  IEventLoop& loop_;
};
