#pragma once
// The dialogs the wizard opens for the process's errors, questions and
// warnings, and for stopping the update: their texts from the language texts.

#include <string>
#include <string_view>

#include "updater/core/dialog_service.h"
#include "updater/description/update_file_data.h"
#include "updater/ui/mode_base.h"

class CLanguage;

// How a file is named in a dialog: the last component of its path, cut
// before its last "(" (the action an item name carries, "file (copy)"), with
// trailing blanks removed.
std::string DisplayFileName(std::string_view path);

// The megabytes a byte count needs, truncated (none for a negative count).
std::int64_t MegabytesNeeded(std::int64_t bytes);

class CWizardDialogs {
 public:
  CWizardDialogs(const CLanguage& language, std::string application_name);

  // The error dialog of an error (every code but "no new version"; a code
  // the table does not know is shown as an unknown error).
  ErrorDialogRequest Error(const ModeError& error) const;
  // The confirmation of a question (delete, close, register).
  MessageBoxRequest Question(const ModeQuestion& question, CloseApplicationMode close_mode) const;
  // The warning that a file could not be registered.
  MessageBoxRequest Warning(const std::string& path) const;
  // Whether to stop updating.
  MessageBoxRequest StopUpdating() const;

 private:
  std::string Text(int id) const;
  MessageBoxRequest Confirmation(int caption, std::string text) const;

  const CLanguage& language_;
  std::string application_name_;
};
