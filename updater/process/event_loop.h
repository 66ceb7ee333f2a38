#pragma once
// A loop that serves the process queue in place of the plain one: the
// toolkit's event loop of a mode with windows, so that windows and the
// process share the one user-interface thread.

#include <functional>

class CMessageQueue;

class IEventLoop {
 public:
  virtual ~IEventLoop() = default;
  // Serves the queue until pump returns false (the run has ended). pump
  // dispatches every message that is ready; the loop calls it on this thread
  // when a post or a due timer of the queue wakes it, and never while a call
  // of pump is still running (a dialog that runs a nested loop inside pump
  // holds the queue until it closes). Returns false when the loop could not
  // serve; the caller then goes on with its plain loop.
  virtual bool Serve(CMessageQueue& queue, const std::function<bool()>& pump) = 0;
};
