#pragma once
// The contract between the update process and a user-interface mode. The mode
// lives on the process thread; the process posts it the messages of the
// protocol, and the mode answers only by posting to the process. Modes derive
// from CModeBase (updater/ui/mode_base.h), which decodes the messages into
// typed handlers and answers a question with its ticket (QuestionTicket).

#include <cstdint>
#include <memory>
#include <string>

#include "updater/process/messages.h"

class IEventLoop;

// What a mode may do: post to the process, to itself, or later (its pauses are
// timers of the loop, never sleeps, so the order of messages is kept).
class IModeHost {
 public:
  virtual ~IModeHost() = default;
  virtual void PostToProcess(Message message) = 0;
  virtual void PostToProcessDelayed(Message message, std::int64_t delay_ms) = 0;
  virtual void PostToInterface(Message message) = 0;
  virtual void PostToInterfaceDelayed(Message message, std::int64_t delay_ms) = 0;
};

class CMode {
 public:
  virtual ~CMode() = default;
  // Creates the mode's windows (none in the hidden mode) and catches up: the
  // mode posts itself MessageId::kTaskStarted with the task it was created with.
  virtual void Create() = 0;
  // Handles one message of the protocol; messages a mode does not use are ignored.
  virtual void OnMessage(const Message& message) = 0;
  // The toolkit loop that must serve the process queue while this mode is
  // shown, or nullptr when the plain loop will do (no windows).
  virtual IEventLoop* EventLoop() { return nullptr; }
};

// Creates the mode for a mode name ("full", "silent", "verysilent", "hidden");
// nullptr for a name it does not know.
class IModeFactory {
 public:
  virtual ~IModeFactory() = default;
  virtual std::unique_ptr<CMode> CreateMode(const std::string& name, IModeHost& host,
                                            TaskId current_task) = 0;
};
