#pragma once
// While a dialog of a mode is open the process queue waits for it. Some
// messages must not wait for a person: a cancel of the run, a mode switch and
// the end of the run close the open dialogs first (with their cancel answer,
// never yes), and are handled once the dialog is gone.

#include "updater/process/messages.h"

inline bool ClosesOpenDialogs(const Message& message) {
  switch (message.id) {
    case MessageId::kCommand:
      return CodeOf<CommandCode>(message) == CommandCode::kCancel;
    case MessageId::kChangeMode:
    case MessageId::kQuit:
      return true;
    default:
      return false;
  }
}
