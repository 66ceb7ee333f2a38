#pragma once
// The windows the updater's logic asks for, behind one interface: the user
// interface implements it; until a window exists (and in tests) a plain
// implementation writes the texts to standard error and answers with the
// default button.

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The error dialog: a caption, a heading, the message, a detail text and buttons.
struct ErrorDialogRequest {
  std::string caption;
  std::string heading;
  std::string message;
  std::string detail;
  std::string ok_text;
  std::string more_text;
};

enum class MessageBoxKind { kInformation, kWarning, kError, kQuestion };
enum class MessageBoxAnswer { kOk, kCancel, kYes, kNo };

struct MessageBoxRequest {
  MessageBoxKind kind = MessageBoxKind::kInformation;
  std::string caption;
  std::string text;
  bool yes_no = false;  // buttons Yes/No instead of OK
  std::string heading;  // the heading inside the window; "" : the caption
};

// One language offered in the language-selection dialog.
struct LanguageChoice {
  std::string name;          // file name without ".xml" (or "english")
  std::string display_name;  // the file's LANGUAGE text
};

// The answer of the language-selection dialog.
struct LanguageSelection {
  std::size_t index = 0;  // the chosen entry of the choices
  bool remember = false;  // "Remember my preference" was checked
};

// The information dialog: a caption, a heading, the text and the button's text.
struct InformationDialogRequest {
  std::string caption;
  std::string heading;
  std::string text;
  std::string button_text;
};

class IDialogService {
 public:
  virtual ~IDialogService() = default;
  virtual void ShowError(const ErrorDialogRequest& request) = 0;
  virtual MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) = 0;
  // The modal language-selection dialog: returns the index of the chosen
  // entry, or nullopt when the dialog was closed without a choice.
  virtual std::optional<std::size_t> SelectLanguage(const std::vector<LanguageChoice>& choices,
                                                    std::size_t preselected) = 0;
  // The same dialog with its "Remember my preference" check box. The default
  // asks SelectLanguage and reports the box unchecked; the user interface
  // overrides it.
  virtual std::optional<LanguageSelection> ChooseLanguage(
      const std::vector<LanguageChoice>& choices, std::size_t preselected);
  // The modal information dialog (caption, heading, text, one button). The
  // default shows it as an information message box; the user interface
  // overrides it.
  virtual void ShowInformation(const InformationDialogRequest& request);
};

// The process-wide dialog service. Until SetDialogService installs another, it
// is the standard-error service.
IDialogService& DialogService();
// Installs a service (the user interface, or a test's fake); nullptr restores
// the standard-error service. The caller keeps ownership.
void SetDialogService(IDialogService* service);
