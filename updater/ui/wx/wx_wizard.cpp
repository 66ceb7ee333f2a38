#include "updater/ui/wx/wx_wizard.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/gauge.h>
#include <wx/radiobut.h>
#include <wx/settings.h>
#include <wx/simplebook.h>
#include <wx/sizer.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#include <wx/webview.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "platform/process.h"
#include "updater/ui/link_address.h"
#include "updater/ui/wx/wx_artwork.h"
#include "updater/ui/wx/wx_dialog_parts.h"
#include "updater/ui/wx/wx_wizard_pages.h"
#include "updater/ui/wx/wx_wizard_parts.h"

namespace {

constexpr int kBarMargin = 11;
constexpr int kButtonGap = 7;
constexpr std::size_t kMaxRows = 1000;

std::size_t IndexOf(WizardPage page) { return static_cast<std::size_t>(page); }

std::string Percent(int percent) { return std::to_string(std::clamp(percent, 0, 100)) + "%"; }

bool IsProgressPage(WizardPage page) {
  return page == WizardPage::kDownload || page == WizardPage::kInstall ||
         page == WizardPage::kRollback;
}

}  // namespace

bool WizardMayBrowse(const std::string& address) {
  const std::optional<std::string> openable = OpenableLinkAddress(address);
  if (!openable || *openable != address) return false;
  std::string scheme = address.substr(0, address.find(':'));
  std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return scheme == "http" || scheme == "https";
}

CWxWizardWindow::CWxWizardWindow(const WizardFrame& frame, IWizardActions& actions,
                                 WizardOpener opener)
    : wxDialog(nullptr, wxID_ANY, wxString::FromUTF8(frame.title), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU | wxMINIMIZE_BOX),
      actions_(&actions),
      opener_(std::move(opener)),
      frame_(frame) {
  if (!opener_)
    opener_ = [](const std::string& address) { (void)platform::OpenWithDesktop(address); };
  SetIcons(WindowIcons(frame.icon_file));
  header_ = new CWizardHeader(this, WizardBanner(frame.banner_file));
  book_ = new wxSimplebook(this);
  BuildPages();
  BuildBottom(frame);
  buttons_.next_label = frame.next_text;
  SetButtons(buttons_);
  Bind(wxEVT_CHAR_HOOK, &CWxWizardWindow::OnCharHook, this);
  Bind(wxEVT_CLOSE_WINDOW, &CWxWizardWindow::OnClose, this);
  ShowPage(WizardPage::kWelcome, {});
  CentreOnScreen();
}

void CWxWizardWindow::BuildPages() {
  const WizardLinkColours colours{
      WizardColour(frame_.link_colour, wxColour(0, 102, 204)),
      WizardColour(frame_.link_hover_colour, wxColour(0, 0, 255)),
  };
  const wxBitmap watermark = WizardWatermark(frame_.watermark_file);
  pages_.push_back(BuildWelcomePage(book_, watermark));
  pages_.push_back(BuildCheckPage(book_, colours));
  pages_.push_back(BuildHtmlPage(book_));
  pages_.push_back(BuildLicensePage(book_));
  pages_.push_back(BuildSelectPage(book_, colours));
  pages_.push_back(BuildProgressPage(book_, true));
  pages_.push_back(BuildProgressPage(book_, true));
  pages_.push_back(BuildFinishPage(book_, watermark));
  pages_.push_back(BuildProgressPage(book_, false));
  for (const WizardPageControls& controls : pages_) book_->AddPage(controls.page, "");

  const auto open = [this](CWizardLink* link) {
    link->OnActivate([this, link] {
      if (const auto address = OpenableLinkAddress(link->GetURL().utf8_string())) opener_(*address);
    });
  };
  for (CWizardLink* link : Page(WizardPage::kCheck).feature_links) open(link);
  open(Page(WizardPage::kSelectUpdate).more_info);

  const WizardPageControls& license = Page(WizardPage::kLicense);
  license.agree->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) {
    Act([](IWizardActions& a) { a.OnLicenseChoice(true); });
  });
  license.not_agree->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) {
    Act([](IWizardActions& a) { a.OnLicenseChoice(false); });
  });

  wxTreeCtrl* tree = Page(WizardPage::kSelectUpdate).tree;
  // A click on a check box toggles it (and does not select the row).
  const auto on_check_box = [this, tree](wxMouseEvent& event) {
    int flags = 0;
    const wxTreeItemId item = tree->HitTest(event.GetPosition(), flags);
    const auto found = std::find(row_items_.begin(), row_items_.end(), item.GetID());
    if (!item.IsOk() || !(flags & wxTREE_HITTEST_ONITEMSTATEICON) || found == row_items_.end()) {
      event.Skip();
      return;
    }
    tree->SetFocus();
    ToggleRow(static_cast<std::size_t>(found - row_items_.begin()));
  };
  tree->Bind(wxEVT_LEFT_DOWN, on_check_box);
  tree->Bind(wxEVT_LEFT_DCLICK, on_check_box);
  tree->Bind(wxEVT_TREE_KEY_DOWN, [this, tree](wxTreeEvent& event) {
    if (event.GetKeyCode() != WXK_SPACE || event.GetKeyEvent().HasAnyModifiers()) {
      event.Skip();
      return;
    }
    wxTreeItemId item = tree->GetFocusedItem();
    if (!item.IsOk()) item = tree->GetSelection();
    const auto found = std::find(row_items_.begin(), row_items_.end(), item.GetID());
    if (found != row_items_.end()) ToggleRow(static_cast<std::size_t>(found - row_items_.begin()));
  });
  tree->Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent& event) {
    event.Skip();
    if (filling_tree_) return;
    const auto found = std::find(row_items_.begin(), row_items_.end(), event.GetItem().GetID());
    if (found == row_items_.end()) return;
    const auto row = static_cast<std::size_t>(found - row_items_.begin());
    CallAfter([this, row] { Act([row](IWizardActions& a) { a.OnSectionSelected(row); }); });
  });
}

void CWxWizardWindow::BuildBottom(const WizardFrame& frame) {
  bottom_line_ = new wxStaticLine(this, wxID_ANY);
  about_ = new CWizardLink(this, frame.about_link,
                           WizardColour(frame.link_colour, wxColour(0, 102, 204)),
                           WizardColour(frame.link_hover_colour, wxColour(0, 0, 255)));
  about_->OnActivate([this] { Act([](IWizardActions& a) { a.OnAboutLink(); }); });
  hide_ = new wxButton(this, wxID_ANY, PlainLabel(frame.hide_in_tray), wxDefaultPosition,
                       wxDefaultSize, wxBU_EXACTFIT);
  next_ = new wxButton(this, wxID_ANY, PlainLabel(frame.next_text));
  finish_ = new wxButton(this, wxID_ANY, PlainLabel(frame.finish_text));
  cancel_ = new wxButton(this, wxID_ANY, PlainLabel(frame.cancel_text));
  hide_->Bind(wxEVT_BUTTON,
              [this](wxCommandEvent&) { Act([](IWizardActions& a) { a.OnHideInTray(); }); });
  next_->Bind(wxEVT_BUTTON,
              [this](wxCommandEvent&) { Act([](IWizardActions& a) { a.OnNext(); }); });
  finish_->Bind(wxEVT_BUTTON,
                [this](wxCommandEvent&) { Act([](IWizardActions& a) { a.OnFinish(); }); });
  cancel_->Bind(wxEVT_BUTTON,
                [this](wxCommandEvent&) { Act([](IWizardActions& a) { a.OnCancel(); }); });
}

void CWxWizardWindow::PlaceBottom() {
  const int line_height = bottom_line_->GetBestSize().y;
  PlaceAt(*bottom_line_, {0, kWizardUpperHeight, kWizardWidth, line_height});
  const wxSize next_size = ButtonSize(*next_);
  const wxSize finish_size = ButtonSize(*finish_);
  const wxSize cancel_size = ButtonSize(*cancel_);
  const int height = std::max({next_size.y, finish_size.y, cancel_size.y});
  const int top = kWizardUpperHeight + line_height + kBarMargin;
  const int cancel_x = kWizardWidth - kBarMargin - cancel_size.x;
  PlaceAt(*cancel_, {cancel_x, top, cancel_size.x, height});
  const int forward_width = std::max(next_size.x, finish_size.x);
  const int forward_x = cancel_x - kButtonGap - forward_width;
  PlaceAt(*next_, {forward_x, top, forward_width, height});
  PlaceAt(*finish_, {forward_x, top, forward_width, height});
  const wxSize about_size = about_->GetBestSize();
  PlaceAt(*about_, {10, top + (height - about_size.y) / 2, about_size.x, about_size.y});
  const wxSize hide_size = hide_->GetBestSize();
  const int hide_x = 10 + about_size.x + 14;
  PlaceAt(*hide_,
          {hide_x, top + (height - hide_size.y) / 2,
           std::min(hide_size.x, std::max(0, forward_x - kButtonGap - hide_x)), hide_size.y});
  const wxSize client(kWizardWidth, top + height + kBarMargin);
  if (GetClientSize() != client) SetClientSize(client);
}

const WizardPageControls& CWxWizardWindow::Page(WizardPage page) const {
  return pages_[IndexOf(page)];
}

void CWxWizardWindow::ShowPage(WizardPage page, const WizardPageTexts& texts) {
  if (rolled_back_ && page != WizardPage::kRollback) return;
  current_ = page;
  WizardPageControls& c = pages_[IndexOf(page)];
  const bool exterior = IsExteriorPage(page);
  const int width = exterior ? kExteriorTextWidth : kInteriorTextWidth;
  // The page is shown first: a web view made in a hidden page may never load.
  header_->SetTexts(texts.header_title, texts.header_subtitle);
  header_->Show(!exterior);
  if (exterior) {
    PlaceAt(*book_, {0, 0, kWizardWidth, kWizardUpperHeight});
  } else {
    PlaceAt(*header_, {0, 0, kWizardWidth, CWizardHeader::kHeight});
    PlaceAt(*book_,
            {0, CWizardHeader::kHeight, kWizardWidth, kWizardUpperHeight - CWizardHeader::kHeight});
  }
  book_->ChangeSelection(IndexOf(page));
  if (c.title) SetWrappedText(*c.title, texts.title, width);
  if (c.explanation) {
    SetWrappedText(*c.explanation, texts.explanation, width);
    c.explanation->Show(!texts.explanation.empty() || page != WizardPage::kLicense);
  }
  switch (page) {
    case WizardPage::kCheck:
      SetWrappedText(*c.status, texts.status, width);
      SetFeatures("", {});
      break;
    case WizardPage::kHtmlMessage:
      ShowHtml(texts.html_address);
      break;
    case WizardPage::kLicense:
      c.license->ChangeValue(wxString::FromUTF8(texts.license_text));
      c.license->SetInsertionPoint(0);
      c.agree->SetLabel(PlainLabel(texts.agree_text));
      c.not_agree->SetLabel(PlainLabel(texts.not_agree_text));
      c.not_agree->SetValue(true);
      break;
    case WizardPage::kSelectUpdate:
      FillTree({});
      SetSectionDetails({});
      break;
    case WizardPage::kDownload:
    case WizardPage::kInstall:
    case WizardPage::kRollback:
      if (c.item_label) {
        c.item_label->SetLabel(PlainLabel(texts.item_label));
        c.item_bar->SetValue(0);
        c.item_percent->SetLabel("0%");
      }
      c.total_label->SetLabel(PlainLabel(texts.total_label));
      c.total_bar->SetValue(0);
      c.total_percent->SetLabel("0%");
      break;
    case WizardPage::kFinish:
      c.shortcuts->SetLabel(PlainLabel(texts.shortcuts_text));
      c.shortcuts->SetValue(true);
      c.shortcuts->Show(texts.shortcuts_shown);
      break;
    case WizardPage::kWelcome:
      break;
  }
  if (page == WizardPage::kRollback) {
    // Nothing leads back to the other pages; a page still loading stops.
    rolled_back_ = true;
    if (auto* web = dynamic_cast<wxWebView*>(web_view_)) web->Stop();
  }
  c.page->Layout();
  c.page->Refresh();
  header_->Refresh();
  // Where the keyboard starts: the page's own control when it has one to
  // choose with, else the enabled Next or Finish, else the page itself (so
  // that no key goes to a button of the bar by chance).
  wxButton* forward = buttons_.finish ? finish_ : next_;
  if (page == WizardPage::kLicense) {
    c.not_agree->SetFocus();
  } else if (page == WizardPage::kSelectUpdate) {
    c.tree->SetFocus();
  } else if (page == WizardPage::kFinish && texts.shortcuts_shown) {
    c.shortcuts->SetFocus();
  } else if (forward->IsEnabled()) {
    forward->SetFocus();
  } else if (!FocusInPage()) {
    c.page->SetFocus();
  }
}

bool CWxWizardWindow::FocusInPage() const {
  // A control of the page; the page itself holds the focus only in their stead.
  const wxWindow* page = Page(current_).page;
  const wxWindow* focus = FindFocus();
  if (focus == page) return false;
  for (; focus; focus = focus->GetParent())
    if (focus == page) return true;
  return false;
}

void CWxWizardWindow::SetButtons(const WizardButtons& buttons) {
  buttons_ = buttons;
  const std::string& label = buttons.next_label.empty() ? frame_.next_text : buttons.next_label;
  if (next_->GetLabel() != PlainLabel(label)) next_->SetLabel(PlainLabel(label));
  wxButton* forward = buttons.finish ? finish_ : next_;
  wxButton* other = buttons.finish ? next_ : finish_;
  other->Hide();
  other->Disable();
  forward->Show();
  forward->Enable(buttons.forward_enabled);
  cancel_->Enable(buttons.cancel_enabled);
  hide_->Enable(buttons.hide_enabled);
  EnableCloseButton(buttons.close_enabled);
  PlaceBottom();
  wxWindow* focus = FindFocus();
  if (buttons.forward_enabled) {
    forward->SetDefault();
    if (!FocusInPage() && focus != forward) forward->SetFocus();
  } else if (!FocusInPage() && (!focus || !focus->IsEnabled() || !focus->IsShown())) {
    // The focus left with a button that went out of use: the page holds it.
    Page(current_).page->SetFocus();
  }
}

void CWxWizardWindow::SetStatus(const std::string& status) {
  WizardPageControls& c = pages_[IndexOf(WizardPage::kCheck)];
  SetWrappedText(*c.status, status, kInteriorTextWidth);
  c.page->Layout();
}

void CWxWizardWindow::SetFeatures(const std::string& heading,
                                  const std::vector<FeatureLine>& features) {
  WizardPageControls& c = pages_[IndexOf(WizardPage::kCheck)];
  // The heading's own line break ends it; the lines follow at once.
  std::string shown = heading;
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r' || shown.back() == ' '))
    shown.pop_back();
  c.features_heading->SetLabel(PlainLabel(shown));
  c.features_heading->Show(!shown.empty());
  for (std::size_t i = 0; i < c.feature_texts.size(); ++i) {
    const FeatureLine* line = i < features.size() ? &features[i] : nullptr;
    const bool link = line && !line->link.empty();
    c.feature_texts[i]->SetLabel(PlainLabel(line && !link ? line->text : ""));
    c.feature_texts[i]->Show(line && !link);
    c.feature_links[i]->SetText(link ? line->text : "");
    c.feature_links[i]->SetURL(wxString::FromUTF8(link ? line->link : "-"));
    c.feature_links[i]->Show(link);
  }
  c.page->Layout();
}

void CWxWizardWindow::FillTree(const std::vector<SectionRow>& given) {
  const std::vector<SectionRow> rows(given.begin(),
                                     given.begin() + std::min(given.size(), kMaxRows));
  wxTreeCtrl* tree = pages_[IndexOf(WizardPage::kSelectUpdate)].tree;
  const bool same_rows =
      rows.size() == rows_.size() &&
      std::equal(rows.begin(), rows.end(), rows_.begin(), [](const auto& a, const auto& b) {
        return a.title == b.title && a.depth == b.depth;
      });
  filling_tree_ = true;
  const wxColour grey = wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT);
  const auto paint = [&](const wxTreeItemId& item, const SectionRow& row) {
    tree->SetItemState(item, CheckImageOf(row.checked, row.enabled));
    tree->SetItemTextColour(item, row.enabled ? tree->GetForegroundColour() : grey);
  };
  if (same_rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) paint(wxTreeItemId(row_items_[i]), rows[i]);
  } else {
    tree->DeleteAllItems();
    row_items_.clear();
    std::vector<wxTreeItemId> parents{tree->AddRoot("")};
    for (const SectionRow& row : rows) {
      // A row deeper than one below the row before hangs under that row.
      const std::size_t depth =
          std::min(static_cast<std::size_t>(std::max(row.depth, 0)) + 1, parents.size());
      parents.resize(depth);
      const wxTreeItemId item = tree->AppendItem(parents.back(), wxString::FromUTF8(row.title));
      paint(item, row);
      parents.push_back(item);
      row_items_.push_back(item.GetID());
    }
    tree->ExpandAll();
    if (!row_items_.empty()) {
      tree->SelectItem(wxTreeItemId(row_items_.front()));
      tree->SetFocusedItem(wxTreeItemId(row_items_.front()));
    }
  }
  rows_ = rows;
  filling_tree_ = false;
}

void CWxWizardWindow::SetSections(const std::vector<SectionRow>& rows) { FillTree(rows); }

void CWxWizardWindow::ToggleRow(std::size_t row) {
  // After the click or key is done with: the mode's answer rewrites the tree.
  CallAfter([this, row] { Act([row](IWizardActions& a) { a.OnSectionToggled(row); }); });
}

void CWxWizardWindow::SetSectionDetails(const SectionDetails& details) {
  WizardPageControls& c = pages_[IndexOf(WizardPage::kSelectUpdate)];
  const int width = kInteriorTextWidth - c.tree->GetSize().x - 12;
  SetWrappedText(*c.section_title, details.title, width);
  SetWrappedText(*c.section_description, details.description, width);
  c.more_info->SetText(details.more_info_text);
  c.more_info->SetURL(wxString::FromUTF8(details.link.empty() ? "-" : details.link));
  c.more_info->Show(!details.link.empty());
  c.page->Layout();
}

void CWxWizardWindow::SetItemProgress(int percent, const std::optional<std::string>& label) {
  if (current_ != WizardPage::kDownload && current_ != WizardPage::kInstall) return;
  WizardPageControls& c = pages_[IndexOf(current_)];
  c.item_bar->SetValue(std::clamp(percent, 0, 100));
  c.item_percent->SetLabel(Percent(percent));
  if (label) {
    c.item_label->SetLabel(PlainLabel(*label));
    ++item_label_writes_;
  }
}

void CWxWizardWindow::SetTotalProgress(int percent, const std::string& label) {
  if (!IsProgressPage(current_)) return;
  WizardPageControls& c = pages_[IndexOf(current_)];
  c.total_bar->SetValue(std::clamp(percent, 0, 100));
  c.total_percent->SetLabel(Percent(percent));
  if (c.total_label->GetLabel() != PlainLabel(label)) c.total_label->SetLabel(PlainLabel(label));
}

bool CWxWizardWindow::ShortcutsChecked() const {
  return Page(WizardPage::kFinish).shortcuts->GetValue();
}

void CWxWizardWindow::ShowHtml(const std::string& address) {
  WizardPageControls& c = pages_[IndexOf(WizardPage::kHtmlMessage)];
  const bool may_browse = WizardMayBrowse(address);
  browsed_ = may_browse ? address : "";
  if (auto* web = dynamic_cast<wxWebView*>(web_view_)) {
    if (may_browse) web->LoadURL(wxString::FromUTF8(address));
    return;
  }
  if (address_link_) {
    address_link_->SetText(address);
    address_link_->SetURL(wxString::FromUTF8(address.empty() ? "-" : address));
    c.html_holder->Layout();
    return;
  }
  if (use_web_view_ && wxWebView::IsBackendAvailable(wxWebViewBackendDefault)) {
    // The web view starts with the page to show (an empty one may keep a
    // later page from loading); before an address it may show, none is made.
    if (!may_browse) return;
    wxWebView* web = wxWebView::New(c.html_holder, wxID_ANY, wxString::FromUTF8(address));
    // Only web pages are shown: other schemes (files, scripts, data) never.
    web->Bind(wxEVT_WEBVIEW_NAVIGATING, [](wxWebViewEvent& event) {
      if (!WizardMayBrowse(event.GetURL().utf8_string())) event.Veto();
    });
    // No other window is opened from the page.
    web->Bind(wxEVT_WEBVIEW_NEWWINDOW, [](wxWebViewEvent&) {});
    web->EnableContextMenu(false);
    web_view_ = web;
    c.html_holder->GetSizer()->Add(web, 1, wxEXPAND);
  } else {
    // No web view on this system: the address as a link to the browser.
    address_link_ =
        new CWizardLink(c.html_holder, address, wxColour(0, 102, 204), wxColour(0, 0, 255));
    address_link_->SetURL(wxString::FromUTF8(address.empty() ? "-" : address));
    address_link_->OnActivate([this] {
      const std::string target = address_link_->GetURL().utf8_string();
      if (WizardMayBrowse(target)) opener_(target);
    });
    c.html_holder->GetSizer()->Add(address_link_, 0, wxALL, 12);
  }
  c.html_holder->Layout();
}

void CWxWizardWindow::PressForward() {
  if (buttons_.finish && finish_->IsEnabled()) {
    Act([](IWizardActions& a) { a.OnFinish(); });
  } else if (!buttons_.finish && next_->IsEnabled()) {
    Act([](IWizardActions& a) { a.OnNext(); });
  }
}

void CWxWizardWindow::OnCharHook(wxKeyEvent& event) {
  const int key = event.GetKeyCode();
  if (key == WXK_ESCAPE && !event.HasAnyModifiers()) {
    Act([](IWizardActions& a) { a.OnCancel(); });
    return;
  }
  if (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) {
    wxWindow* focus = FindFocus();
    if (auto* link = dynamic_cast<CWizardLink*>(focus)) {
      link->Activate();
      return;
    }
    // A focused button is pressed by its own Return.
    if (dynamic_cast<wxButton*>(focus)) {
      event.Skip();
      return;
    }
    PressForward();
    return;
  }
  event.Skip();
}

void CWxWizardWindow::OnClose(wxCloseEvent& event) {
  if (!event.CanVeto()) {
    event.Skip();
    return;
  }
  // The close box asks the mode; the window stays until the mode ends it.
  event.Veto();
  if (buttons_.close_enabled) Act([](IWizardActions& a) { a.OnCancel(); });
}

CWxWizard::CWxWizard(const WizardFrame& frame, IWizardActions& actions, WizardOpener opener)
    : window_(new CWxWizardWindow(frame, actions, std::move(opener))) {
  window_->Show();
  window_->Raise();
}

CWxWizard::~CWxWizard() {
  if (!window_) return;
  window_->Detach();
  window_->Hide();
  window_->Destroy();
}

void CWxWizard::ShowPage(WizardPage page, const WizardPageTexts& texts) {
  if (window_) window_->ShowPage(page, texts);
}
void CWxWizard::SetButtons(const WizardButtons& buttons) {
  if (window_) window_->SetButtons(buttons);
}
void CWxWizard::SetStatus(const std::string& status) {
  if (window_) window_->SetStatus(status);
}
void CWxWizard::SetFeatures(const std::string& heading, const std::vector<FeatureLine>& features) {
  if (window_) window_->SetFeatures(heading, features);
}
void CWxWizard::SetSections(const std::vector<SectionRow>& rows) {
  if (window_) window_->SetSections(rows);
}
void CWxWizard::SetSectionDetails(const SectionDetails& details) {
  if (window_) window_->SetSectionDetails(details);
}
void CWxWizard::SetItemProgress(int percent, const std::optional<std::string>& label) {
  if (window_) window_->SetItemProgress(percent, label);
}
void CWxWizard::SetTotalProgress(int percent, const std::string& label) {
  if (window_) window_->SetTotalProgress(percent, label);
}
// The box starts checked: with no window left, its first state stands.
bool CWxWizard::ShortcutsChecked() const { return !window_ || window_->ShortcutsChecked(); }
