#pragma once
// The full mode's wizard as its logic sees it. The mode (CModeFull) decides
// every page, text and button; a view (the toolkit's window, or a test's
// recorder) shows what it is told and reports what the person does through
// IWizardActions. The wizard never moves by itself: a page is shown only when
// the mode says so. Nothing here knows the toolkit.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The pages, in the wizard's order.
enum class WizardPage {
  kWelcome,
  kCheck,
  kHtmlMessage,
  kLicense,
  kSelectUpdate,
  kDownload,
  kInstall,
  kFinish,
  kRollback,
};

// Exterior pages (welcome, finish) are white with the watermark at the left;
// the others carry the banner with a header title and subtitle.
constexpr bool IsExteriorPage(WizardPage page) {
  return page == WizardPage::kWelcome || page == WizardPage::kFinish;
}

// What the window shows from its creation to its end.
struct WizardFrame {
  std::string title;         // the window's title
  std::string about_link;    // the link at the bottom left ("Updater")
  std::string hide_in_tray;  // the text of the control that hides the wizard in the tray
  std::string next_text;     // the Next button's label when no countdown runs
  std::string finish_text;
  std::string cancel_text;
  // The settings' image files; empty, unreadable or of the wrong size: the
  // built-in artwork.
  std::string banner_file;     // 435 x 58
  std::string watermark_file;  // 164 x 314
  std::string icon_file;
  // The link colours of the settings, as text ("#RRGGBB", "R,G,B" or a name).
  std::string link_colour;
  std::string link_hover_colour;
};

// The buttons at the bottom. Back is never shown. Next and Finish share one
// place: Finish replaces Next when shown.
struct WizardButtons {
  bool finish = false;           // Finish is shown instead of Next
  bool forward_enabled = false;  // Next (or Finish) may be pressed; then it is the default button
  std::string next_label;        // the Next button's text (the countdown writes "Next (5)")
  bool cancel_enabled = true;
  bool close_enabled = true;  // the window's close box
  bool hide_enabled = true;   // hiding in the tray
  bool operator==(const WizardButtons&) const = default;
};

// A line under the check page's features heading; a link opens in the
// desktop's browser, an empty link is plain text.
struct FeatureLine {
  std::string text;
  std::string link;
  bool operator==(const FeatureLine&) const = default;
};

// One row of the selection page's tree, in depth-first order.
struct SectionRow {
  std::string title;
  int depth = 0;  // 0: a root
  bool checked = false;
  bool enabled = true;  // a disabled row's check box is greyed and does not toggle
  bool operator==(const SectionRow&) const = default;
};

// The selection page's right-hand side: the chosen section.
struct SectionDetails {
  std::string title;
  std::string description;
  std::string more_info_text;
  std::string link;  // empty: the more-information link is hidden
  bool operator==(const SectionDetails&) const = default;
};

// The texts of a page as it becomes active; the fields a page does not have
// stay empty.
struct WizardPageTexts {
  std::string header_title;  // interior pages
  std::string header_subtitle;
  std::string title;  // the welcome page's large title
  std::string explanation;
  std::string status;        // check page
  std::string html_address;  // HTML message page: the address to show
  std::string license_text;  // licence page, shown as plain text
  std::string agree_text;
  std::string not_agree_text;    // selected when the page shows
  std::string item_label;        // download, install: the first label
  std::string total_label;       // download, install, rollback
  bool shortcuts_shown = false;  // finish page: the check box (checked when shown)
  std::string shortcuts_text;
  bool operator==(const WizardPageTexts&) const = default;
};

class IWizardView {
 public:
  virtual ~IWizardView() = default;
  // Makes a page the active one with its texts. The rollback page removes
  // every other page: nothing can lead back to them.
  virtual void ShowPage(WizardPage page, const WizardPageTexts& texts) = 0;
  virtual void SetButtons(const WizardButtons& buttons) = 0;
  // The check page: its status line, and the features under their heading
  // (an empty heading hides it; at most five lines).
  virtual void SetStatus(const std::string& status) = 0;
  virtual void SetFeatures(const std::string& heading,
                           const std::vector<FeatureLine>& features) = 0;
  // The selection page: the whole tree (check states after a toggle), and the
  // chosen section's details.
  virtual void SetSections(const std::vector<SectionRow>& rows) = 0;
  virtual void SetSectionDetails(const SectionDetails& details) = 0;
  // The progress pages: the item bar and its percent; the label only when it
  // changed (nullopt leaves it as it is, so a steady text does not flicker).
  virtual void SetItemProgress(int percent, const std::optional<std::string>& label) = 0;
  virtual void SetTotalProgress(int percent, const std::string& label) = 0;
  // The finish page's check box.
  virtual bool ShortcutsChecked() const = 0;
};

// What the person does in the wizard.
class IWizardActions {
 public:
  virtual ~IWizardActions() = default;
  virtual void OnNext() = 0;
  virtual void OnFinish() = 0;
  // The Cancel button, Escape and the close box.
  virtual void OnCancel() = 0;
  virtual void OnAboutLink() = 0;
  virtual void OnHideInTray() = 0;
  virtual void OnLicenseChoice(bool agree) = 0;
  // A row's check box was clicked, or the space bar pressed on it.
  virtual void OnSectionToggled(std::size_t row) = 0;
  // A row was chosen (clicked or moved to with the keyboard).
  virtual void OnSectionSelected(std::size_t row) = 0;
};
