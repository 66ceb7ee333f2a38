#include "updater/ui/wx/wx_about_dialog.h"

#include <wx/button.h>
#include <wx/hyperlink.h>
#include <wx/listctrl.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/process.h"
#include "updater/core/updater_settings.h"
#include "updater/ui/dialog_results.h"
#include "updater/ui/wx/wx_dialog_header.h"
#include "updater/ui/wx/wx_dialog_parts.h"

namespace {

constexpr int kRowGap = 6;

// The thanks: fixed rows, not translated.
constexpr const char* kThanks[][2] = {
    {"Velmora team", "Design and code"},
    {"Translators", "Language files"},
    {"Testers", "Finding the faults"},
};

constexpr char kDeveloperLine[] = "Velmora Updater, by the Velmora team";

wxColour ColourOf(SettingsColour colour) {
  return wxColour(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// The website as a link in the settings' link colours; a click hands the
// address, which AboutRows let through as one that may be opened, to the
// desktop's opener. The generic link control, because the desktop's native
// one keeps the theme's colours.
wxWindow* WebsiteLink(wxWindow* parent, const std::string& address) {
  const wxString url = wxString::FromUTF8(address);
  auto* link = new wxGenericHyperlinkCtrl(parent, wxID_ANY, url, url, wxDefaultPosition,
                                          wxDefaultSize, wxHL_ALIGN_LEFT | wxNO_BORDER);
  const SettingsValues& values = CUpdaterSettings::Instance().Values();
  link->SetNormalColour(ColourOf(values.link_color_link));
  link->SetVisitedColour(ColourOf(values.link_color_link));
  link->SetHoverColour(ColourOf(values.link_color_hover));
  link->Bind(wxEVT_HYPERLINK, [address](wxHyperlinkEvent&) {
    // What the opener does later is not reported; a failure to start it is
    // nothing the About box can mend.
    (void)platform::OpenWithDesktop(address);
  });
  return link;
}

}  // namespace

CWxAboutDialog::CWxAboutDialog(const AboutTexts& texts)
    : wxDialog(nullptr, wxID_ANY, wxString::FromUTF8(texts.caption), wxDefaultPosition,
               wxDefaultSize, wxCAPTION | wxCLOSE_BOX | wxSYSTEM_MENU) {
  ApplyWindowIcon(*this, HeaderArt::kAbout);
  SetClientSize(kDialogClientWidth, 300);
  auto* header = new CWxDialogHeader(this, HeaderArt::kAbout, texts.caption);
  PlaceAt(*header, {0, 0, kDialogClientWidth, kDialogHeaderHeight});
  auto* separator = new wxStaticLine(this, wxID_ANY);
  PlaceAt(*separator, {0, kDialogHeaderHeight, kDialogClientWidth, 2});

  // The labels' column is as wide as the widest label.
  int label_width = 0;
  const std::vector<AboutRow> rows = AboutRows(texts);
  for (const AboutRow& row : rows)
    label_width = std::max(label_width, GetTextExtent(PlainLabel(row.label)).x);
  label_width = std::min(label_width + 12, kDialogClientWidth / 2);
  int y = kDialogTextTop;
  const int value_x = kDialogMargin + label_width;
  const int value_width = kDialogClientWidth - kDialogMargin - value_x;
  auto* developer = new wxStaticText(this, wxID_ANY, PlainLabel(kDeveloperLine));
  PlaceAt(*developer,
          {kDialogMargin, y, kDialogClientWidth - 2 * kDialogMargin, developer->GetBestSize().y});
  y += developer->GetBestSize().y + kDialogGap;

  // A label and its value: the website as a link, the others as read-only
  // fields.
  for (const AboutRow& row : rows) {
    auto* name = new wxStaticText(this, wxID_ANY, PlainLabel(row.label));
    wxWindow* shown = nullptr;
    if (row.link) {
      shown = WebsiteLink(this, row.value);
    } else {
      shown = new wxTextCtrl(this, wxID_ANY, wxString::FromUTF8(row.value), wxDefaultPosition,
                             wxDefaultSize, wxTE_READONLY);
    }
    const int height = std::max(shown->GetBestSize().y, name->GetBestSize().y);
    PlaceAt(*name, {kDialogMargin, y + (height - name->GetBestSize().y) / 2, label_width - 8,
                    name->GetBestSize().y});
    PlaceAt(*shown, {value_x, y + (height - shown->GetBestSize().y) / 2, value_width,
                     shown->GetBestSize().y});
    y += height + kRowGap;
  }

  y += kRowGap;
  auto* thanks_label = new wxStaticText(this, wxID_ANY, PlainLabel(texts.special_thanks_label));
  PlaceAt(*thanks_label, {kDialogMargin, y, kDialogClientWidth - 2 * kDialogMargin,
                          thanks_label->GetBestSize().y});
  y += thanks_label->GetBestSize().y + kRowGap;
  auto* thanks = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_SUNKEN);
  thanks->InsertColumn(0, wxString::FromUTF8(texts.thanks_name_header), wxLIST_FORMAT_LEFT, 130);
  thanks->InsertColumn(1, wxString::FromUTF8(texts.thanks_reason_header), wxLIST_FORMAT_LEFT, 230);
  for (const auto& credit : kThanks) {
    const long index = thanks->InsertItem(thanks->GetItemCount(), wxString::FromUTF8(credit[0]));
    thanks->SetItem(index, 1, wxString::FromUTF8(credit[1]));
  }
  PlaceAt(*thanks, {kDialogMargin, y, kDialogClientWidth - 2 * kDialogMargin, 120});
  y += 120 + kDialogGap;

  auto* ok = new wxButton(this, wxID_ANY, PlainLabel(texts.ok_label));
  const wxSize size = ButtonSize(*ok);
  PlaceAt(*ok, {kDialogClientWidth - kDialogMargin - size.x, y, size.x, size.y});
  ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(kDialogOk); });
  AnswerEscapeAndCloseWith(*this, kDialogCancel);
  SetClientSize(kDialogClientWidth, y + size.y + kDialogGap);
  ok->SetDefault();
  ok->SetFocus();
  CentreOnScreen();
}
