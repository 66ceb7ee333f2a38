#include "updater/ui/wx/wx_wizard_pages.h"

#include <wx/checkbox.h>
#include <wx/gauge.h>
#include <wx/panel.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>

#include <algorithm>

#include "updater/ui/text_wrap.h"
#include "updater/ui/wx/wx_dialog_parts.h"
#include "updater/ui/wx/wx_wizard_parts.h"

namespace {

constexpr int kTop = 14;
constexpr int kGap = 10;
constexpr int kTreeWidth = 210;
constexpr int kPercentWidth = 44;

wxStaticText* Text(wxWindow* parent, long style = 0) {
  return new wxStaticText(parent, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, style);
}

wxFont Enlarged(const wxFont& font, double factor) {
  wxFont bold = font;
  bold.SetWeight(wxFONTWEIGHT_BOLD);
  bold.SetFractionalPointSize(font.GetFractionalPointSize() * factor);
  return bold;
}

// An interior page: a panel whose contents stand inside the margins.
wxPanel* InteriorPanel(wxWindow* book, wxBoxSizer*& column) {
  auto* page = new wxPanel(book);
  auto* outer = new wxBoxSizer(wxVERTICAL);
  column = new wxBoxSizer(wxVERTICAL);
  outer->AddSpacer(kInteriorTop);
  outer->Add(column, 1, wxEXPAND | wxLEFT | wxRIGHT, kInteriorMargin);
  outer->AddSpacer(kInteriorBottom);
  page->SetSizer(outer);
  return page;
}

// A bar with its label above and its percent at the right.
void AddBar(wxWindow* page, wxBoxSizer* column, wxStaticText*& label, wxGauge*& bar,
            wxStaticText*& percent) {
  label = Text(page, wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_MIDDLE);
  label->SetMinSize(wxSize(kInteriorTextWidth, label->GetCharHeight() + 2));
  column->Add(label, 0, wxEXPAND | wxTOP, kGap);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  bar = new wxGauge(page, wxID_ANY, 100, wxDefaultPosition, wxSize(-1, 18),
                    wxGA_HORIZONTAL | wxGA_SMOOTH);
  percent = Text(page, wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
  percent->SetMinSize(wxSize(kPercentWidth, -1));
  percent->SetLabel("0%");
  row->Add(bar, 1, wxALIGN_CENTER_VERTICAL);
  row->Add(percent, 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 8);
  column->Add(row, 0, wxEXPAND | wxTOP, 4);
}

}  // namespace

void SetWrappedText(wxStaticText& control, const std::string& text, int width) {
  const PlainTextMetrics metrics = MetricsOf(control);
  const WrappedText wrapped = WrapText(text, width, metrics);
  control.SetLabel(PlainLabel(wrapped.Joined()));
  // The size of the lines as measured: the control's own idea of its size
  // lags behind a change of its text in a font of its own.
  int widest = 0;
  for (const std::string& line : wrapped.lines) widest = std::max(widest, metrics.width_of(line));
  control.SetMinSize(
      wxSize(wrapped.lines.empty() ? 0 : std::min(widest + 2, width), wrapped.height));
}

WizardPageControls BuildWelcomePage(wxWindow* book, const wxBitmap& watermark) {
  WizardPageControls c;
  auto* page = new CWizardExteriorPage(book, watermark);
  c.page = page;
  auto* column = new wxBoxSizer(wxVERTICAL);
  c.title = Text(page);
  c.title->SetFont(Enlarged(page->GetFont(), 1.6));
  c.explanation = Text(page);
  column->Add(c.title, 0, wxTOP, 20);
  column->Add(c.explanation, 0, wxTOP, 18);
  auto* outer = new wxBoxSizer(wxHORIZONTAL);
  outer->Add(column, 1, wxLEFT | wxEXPAND, kExteriorLeft);
  page->SetSizer(outer);
  return c;
}

WizardPageControls BuildCheckPage(wxWindow* book, const WizardLinkColours& colours) {
  WizardPageControls c;
  wxBoxSizer* column = nullptr;
  auto* page = InteriorPanel(book, column);
  c.page = page;
  c.explanation = Text(page);
  c.status = Text(page);
  c.status->SetFont(Enlarged(page->GetFont(), 1.0));
  c.features_heading = Text(page);
  c.features_heading->Hide();
  column->Add(c.explanation, 0, wxTOP, 0);
  column->Add(c.status, 0, wxTOP, kGap);
  column->Add(c.features_heading, 0, wxTOP, kGap);
  for (int i = 0; i < kFeatureLines; ++i) {
    auto* text = Text(page);
    auto* link = new CWizardLink(page, "", colours.normal, colours.hover);
    text->Hide();
    link->Hide();
    column->Add(text, 0, wxTOP, 2);
    column->Add(link, 0, wxTOP, 2);
    c.feature_texts.push_back(text);
    c.feature_links.push_back(link);
  }
  return c;
}

WizardPageControls BuildHtmlPage(wxWindow* book) {
  WizardPageControls c;
  auto* page = new wxPanel(book);
  c.page = page;
  c.html_holder = new wxPanel(page);
  c.html_holder->SetSizer(new wxBoxSizer(wxVERTICAL));
  auto* outer = new wxBoxSizer(wxVERTICAL);
  outer->Add(c.html_holder, 1, wxEXPAND | wxALL, 6);
  page->SetSizer(outer);
  return c;
}

WizardPageControls BuildLicensePage(wxWindow* book) {
  WizardPageControls c;
  wxBoxSizer* column = nullptr;
  auto* page = InteriorPanel(book, column);
  c.page = page;
  c.explanation = Text(page);
  c.explanation->Hide();
  c.license = new wxTextCtrl(page, wxID_ANY, "", wxDefaultPosition, wxDefaultSize,
                             wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP);
  c.license->SetBackgroundColour(*wxWHITE);
  c.agree = new wxRadioButton(page, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
  c.not_agree = new wxRadioButton(page, wxID_ANY, "");
  column->Add(c.explanation, 0, wxBOTTOM, 6);
  column->Add(c.license, 1, wxEXPAND);
  column->Add(c.agree, 0, wxTOP, 6);
  column->Add(c.not_agree, 0, wxTOP, 2);
  return c;
}

WizardPageControls BuildSelectPage(wxWindow* book, const WizardLinkColours& colours) {
  WizardPageControls c;
  wxBoxSizer* column = nullptr;
  auto* page = InteriorPanel(book, column);
  c.page = page;
  c.explanation = Text(page);
  c.tree = new wxTreeCtrl(page, wxID_ANY, wxDefaultPosition, wxSize(kTreeWidth, -1),
                          wxTR_HIDE_ROOT | wxTR_HAS_BUTTONS | wxTR_NO_LINES | wxTR_SINGLE |
                              wxTR_FULL_ROW_HIGHLIGHT | wxBORDER_THEME);
  c.tree->AssignStateImageList(MakeCheckImages(*c.tree));
  // Little room left of the check boxes: the titles get the width.
  c.tree->SetSpacing(2);
  c.tree->SetIndent(14);
  c.section_title = Text(page);
  c.section_title->SetFont(Enlarged(page->GetFont(), 1.15));
  c.section_description = Text(page);
  c.more_info = new CWizardLink(page, "", colours.normal, colours.hover);
  c.more_info->Hide();
  auto* details = new wxBoxSizer(wxVERTICAL);
  details->Add(c.section_title, 0, wxBOTTOM, 6);
  details->Add(c.section_description, 0, wxBOTTOM, 6);
  details->Add(c.more_info, 0);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(c.tree, 0, wxEXPAND);
  row->Add(details, 1, wxEXPAND | wxLEFT, 12);
  column->Add(c.explanation, 0, wxBOTTOM, kGap);
  column->Add(row, 1, wxEXPAND);
  return c;
}

WizardPageControls BuildProgressPage(wxWindow* book, bool with_item) {
  WizardPageControls c;
  wxBoxSizer* column = nullptr;
  auto* page = InteriorPanel(book, column);
  c.page = page;
  c.explanation = Text(page);
  column->Add(c.explanation, 0, wxBOTTOM, kGap);
  if (with_item) AddBar(page, column, c.item_label, c.item_bar, c.item_percent);
  AddBar(page, column, c.total_label, c.total_bar, c.total_percent);
  return c;
}

WizardPageControls BuildFinishPage(wxWindow* book, const wxBitmap& watermark) {
  WizardPageControls c;
  auto* page = new CWizardExteriorPage(book, watermark);
  c.page = page;
  auto* column = new wxBoxSizer(wxVERTICAL);
  c.explanation = Text(page);
  c.shortcuts = new wxCheckBox(page, wxID_ANY, "");
  c.shortcuts->SetValue(true);
  c.shortcuts->Hide();
  column->Add(c.explanation, 0, wxTOP, 24);
  column->Add(c.shortcuts, 0, wxTOP, 18);
  auto* outer = new wxBoxSizer(wxHORIZONTAL);
  outer->Add(column, 1, wxLEFT | wxEXPAND, kExteriorLeft);
  page->SetSizer(outer);
  return c;
}
