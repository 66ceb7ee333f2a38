#pragma once
// The full mode's wizard on wxWidgets: a modeless top-level dialog with a book
// of the nine pages, a header that paints the banner with the page's title and
// subtitle (interior pages), our own Next / Finish / Cancel buttons, the
// "Updater" link and the hide-in-the-tray button at the bottom left. The
// window shows what the mode tells it (IWizardView) and reports what the
// person does (IWizardActions); it never moves from page to page by itself
// and never closes by itself.
//
// Driving it by keyboard (as a person, or xdotool with `search --name
// "^<title>$" windowfocus --sync %1 key ...`; there is no window manager in the
// tests, so windowfocus, not windowactivate). The title is the frame's title
// and does not change.
// - Every page: Return presses the enabled Next or Finish (whatever control
//   has the focus, except the Cancel and hide buttons and the links, which
//   Return presses themselves). Escape calls OnCancel and leaves the window
//   open (the mode asks, finishes or does nothing). Tab moves between the
//   controls of the page and the buttons.
// - When Next or Finish becomes enabled and the focus is on none of the page's
//   own controls, the focus moves to that button (so Return presses it even
//   when the focus was on Cancel).
// - Licence page: the focus starts on the not-agree radio button (selected).
//   Up selects the agree radio button: OnLicenseChoice(true); Down
//   selects not-agree again: OnLicenseChoice(false). Then Return presses Next
//   once the mode has enabled it.
// - Selection page: the focus starts in the tree on its first row (selected).
//   Space toggles the selected row's check box: OnSectionToggled(row); Down and
//   Up move between rows: OnSectionSelected(row). A click on a row's check box
//   toggles it without selecting it. Disabled rows are reported too (the mode
//   refuses them).
// - Finish page: the focus starts on the shortcuts check box when it is shown
//   (else on Finish); Space toggles it; Return presses Finish.
// - Other pages: the focus starts on the enabled Next or Finish, else on the
//   page itself (Return then does nothing until the mode enables Next).
// - The close box calls OnCancel while it is enabled.

#include <wx/dialog.h>
#include <wx/weakref.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "updater/ui/wizard_view.h"

class wxButton;
class wxCheckBox;
class wxGauge;
class wxRadioButton;
class wxSimplebook;
class wxStaticText;
class wxTextCtrl;
class wxTreeCtrl;
class wxWindow;
class CWizardHeader;
class CWizardLink;

// Opens an address in the desktop's browser (platform::OpenWithDesktop by
// default); only addresses that OpenableLinkAddress allows reach it.
using WizardOpener = std::function<void(const std::string& address)>;

// The web view may show an address: http and https only.
bool WizardMayBrowse(const std::string& address);

// One page's controls; the view fills the ones its page has.
struct WizardPageControls {
  wxWindow* page = nullptr;
  wxStaticText* title = nullptr;  // welcome
  wxStaticText* explanation = nullptr;
  wxStaticText* status = nullptr;            // check
  wxStaticText* features_heading = nullptr;  // check
  std::vector<wxStaticText*> feature_texts;  // check: plain lines
  std::vector<CWizardLink*> feature_links;   // check: lines with a link
  wxTextCtrl* license = nullptr;
  wxRadioButton* agree = nullptr;
  wxRadioButton* not_agree = nullptr;
  wxTreeCtrl* tree = nullptr;
  wxStaticText* section_title = nullptr;
  wxStaticText* section_description = nullptr;
  CWizardLink* more_info = nullptr;
  wxStaticText* item_label = nullptr;  // download, install
  wxGauge* item_bar = nullptr;
  wxStaticText* item_percent = nullptr;
  wxStaticText* total_label = nullptr;  // download, install, rollback
  wxGauge* total_bar = nullptr;
  wxStaticText* total_percent = nullptr;
  wxCheckBox* shortcuts = nullptr;  // finish
  wxWindow* html_holder = nullptr;  // the web view's place
};

class CWxWizardWindow : public wxDialog {
 public:
  CWxWizardWindow(const WizardFrame& frame, IWizardActions& actions, WizardOpener opener);

  // The actions are no longer called (the view is going away).
  void Detach() { actions_ = nullptr; }

  void ShowPage(WizardPage page, const WizardPageTexts& texts);
  void SetButtons(const WizardButtons& buttons);
  void SetStatus(const std::string& status);
  void SetFeatures(const std::string& heading, const std::vector<FeatureLine>& features);
  void SetSections(const std::vector<SectionRow>& rows);
  void SetSectionDetails(const SectionDetails& details);
  void SetItemProgress(int percent, const std::optional<std::string>& label);
  void SetTotalProgress(int percent, const std::string& label);
  bool ShortcutsChecked() const;

  // For the window tests.
  WizardPage CurrentPage() const { return current_; }
  const WizardPageControls& Page(WizardPage page) const;
  wxButton& NextButton() const { return *next_; }
  wxButton& FinishButton() const { return *finish_; }
  wxButton& CancelButton() const { return *cancel_; }
  wxButton& HideButton() const { return *hide_; }
  CWizardLink& AboutLink() const { return *about_; }
  CWizardHeader& Header() const { return *header_; }
  // The web view once the HTML page has been shown (nullptr when the toolkit
  // has no web view backend: a link to the address stands in).
  wxWindow* WebView() const { return web_view_; }
  CWizardLink* AddressLink() const { return address_link_; }
  // The window tests try the stand-in of a system without a web view.
  void UseWebView(bool use) { use_web_view_ = use; }
  // The address the web view was last told to show ("" when refused).
  const std::string& BrowsedAddress() const { return browsed_; }
  // How often the item label was written.
  int ItemLabelWrites() const { return item_label_writes_; }

 private:
  template <typename Call>
  void Act(Call call) {
    if (actions_) call(*actions_);
  }
  void BuildPages();
  void BuildBottom(const WizardFrame& frame);
  void PlaceBottom();
  void OnCharHook(wxKeyEvent& event);
  void OnClose(wxCloseEvent& event);
  void PressForward();
  bool FocusInPage() const;
  void ShowHtml(const std::string& address);
  void ToggleRow(std::size_t row);
  void FillTree(const std::vector<SectionRow>& rows);

  IWizardActions* actions_;
  WizardOpener opener_;
  WizardFrame frame_;
  WizardButtons buttons_;
  WizardPage current_ = WizardPage::kWelcome;
  bool rolled_back_ = false;
  bool use_web_view_ = true;
  bool filling_tree_ = false;
  std::vector<SectionRow> rows_;
  std::vector<void*> row_items_;  // wxTreeItemId's ids, in row order
  std::string browsed_;
  int item_label_writes_ = 0;

  CWizardHeader* header_ = nullptr;
  wxSimplebook* book_ = nullptr;
  std::vector<WizardPageControls> pages_;
  wxWindow* web_view_ = nullptr;
  CWizardLink* address_link_ = nullptr;
  wxWindow* bottom_line_ = nullptr;
  CWizardLink* about_ = nullptr;
  wxButton* hide_ = nullptr;
  wxButton* next_ = nullptr;
  wxButton* finish_ = nullptr;
  wxButton* cancel_ = nullptr;
};

// The view the mode holds: destroying it closes the window (deferred, so that
// it may be destroyed from one of the window's own handlers).
class CWxWizard : public IWizardView {
 public:
  CWxWizard(const WizardFrame& frame, IWizardActions& actions, WizardOpener opener = {});
  ~CWxWizard() override;
  CWxWizard(const CWxWizard&) = delete;
  CWxWizard& operator=(const CWxWizard&) = delete;

  void ShowPage(WizardPage page, const WizardPageTexts& texts) override;
  void SetButtons(const WizardButtons& buttons) override;
  void SetStatus(const std::string& status) override;
  void SetFeatures(const std::string& heading, const std::vector<FeatureLine>& features) override;
  void SetSections(const std::vector<SectionRow>& rows) override;
  void SetSectionDetails(const SectionDetails& details) override;
  void SetItemProgress(int percent, const std::optional<std::string>& label) override;
  void SetTotalProgress(int percent, const std::string& label) override;
  bool ShortcutsChecked() const override;

  // The window, while it exists (nullptr once the toolkit destroyed it).
  CWxWizardWindow* Window() const { return window_.get(); }

 private:
  wxWeakRef<CWxWizardWindow> window_;
};
