#include "updater/ui/wx/wx_wizard_parts.h"

#include <wx/control.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/renderer.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>
#include <vector>

#include "updater/ui/text_wrap.h"
#include "updater/ui/wx/wx_dialog_parts.h"

namespace {

constexpr int kBannerHeight = 58;
constexpr int kTitleLeft = 16;
constexpr int kTitleTop = 5;
constexpr int kSubtitleLeft = 32;
// The texts stay left of the banner's picture at its right end.
constexpr int kHeaderTextRight = 435 - 76;

// "R,G,B" with each number optionally after its letter; nullopt otherwise.
std::optional<wxColour> ParseTriple(const std::string& text) {
  std::vector<int> values;
  std::size_t start = 0;
  while (start <= text.size() && values.size() < 4) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    std::string_view part(text.data() + start, comma - start);
    while (!part.empty() && std::isspace(static_cast<unsigned char>(part.front())))
      part.remove_prefix(1);
    while (!part.empty() && std::isspace(static_cast<unsigned char>(part.back())))
      part.remove_suffix(1);
    if (!part.empty() && std::isalpha(static_cast<unsigned char>(part.front())))
      part.remove_prefix(1);
    int value = -1;
    const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
    if (part.empty() || error != std::errc() || end != part.data() + part.size() || value < 0 ||
        value > 255)
      return std::nullopt;
    values.push_back(value);
    start = comma + 1;
  }
  if (values.size() != 3) return std::nullopt;
  return wxColour(static_cast<unsigned char>(values[0]), static_cast<unsigned char>(values[1]),
                  static_cast<unsigned char>(values[2]));
}

}  // namespace

wxColour WizardColour(const std::string& text, const wxColour& fallback) {
  if (text.empty() || text.size() > 64) return fallback;
  if (text.find(',') != std::string::npos) return ParseTriple(text).value_or(fallback);
  wxColour colour;
  if (colour.Set(wxString::FromUTF8(text)) && colour.IsOk()) return colour;
  return fallback;
}

CWizardLink::CWizardLink(wxWindow* parent, const std::string& text, const wxColour& normal,
                         const wxColour& hover)
    : wxGenericHyperlinkCtrl(parent, wxID_ANY, wxString::FromUTF8(text), "-", wxDefaultPosition,
                             wxDefaultSize, wxHL_ALIGN_LEFT | wxBORDER_NONE) {
  SetNormalColour(normal);
  SetVisitedColour(normal);
  SetHoverColour(hover);
  // Handled here, so the toolkit never opens the placeholder address itself.
  Bind(wxEVT_HYPERLINK, [this](wxHyperlinkEvent&) { Activate(); });
}

void CWizardLink::SetText(const std::string& text) {
  // The generic link draws its label as it is: no mnemonic is read from it.
  SetLabel(wxString::FromUTF8(text));
  SetInitialSize(wxDefaultSize);
  SetSize(GetBestSize());
  Refresh();
}

void CWizardLink::Activate() {
  if (!activate_) return;
  const std::function<void()> activate = activate_;
  activate();
}

CWizardHeader::CWizardHeader(wxWindow* parent, const wxBitmap& banner)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, kHeight)), banner_(banner) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CWizardHeader::OnPaint, this);
}

void CWizardHeader::SetTexts(const std::string& title, const std::string& subtitle) {
  title_ = wxString::FromUTF8(title);
  subtitle_ = wxString::FromUTF8(subtitle);
  Refresh();
}

void CWizardHeader::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  dc.SetBackground(*wxWHITE_BRUSH);
  dc.Clear();
  if (banner_.IsOk()) {
    dc.SetClippingRegion(0, 0, size.x, kBannerHeight);
    dc.DrawBitmap(banner_, 0, 0);
    // A window wider than the banner continues its last column, so the band
    // has no seam.
    const int width = banner_.GetWidth();
    if (size.x > width && width > 0) {
      const wxImage edge = banner_.ConvertToImage()
                               .GetSubImage(wxRect(width - 1, 0, 1, banner_.GetHeight()))
                               .Scale(size.x - width, banner_.GetHeight());
      dc.DrawBitmap(wxBitmap(edge), width, 0);
    }
    dc.DestroyClippingRegion();
  }
  dc.SetPen(wxPen(wxColour(160, 160, 160)));
  dc.DrawLine(0, kBannerHeight, size.x, kBannerHeight);

  // The title: one line in bold, cut with an ellipsis; the subtitle: at most
  // two lines under it, the second cut likewise.
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  dc.SetTextForeground(wxColour(0, 0, 0));
  wxFont bold = GetFont();
  bold.SetWeight(wxFONTWEIGHT_BOLD);
  dc.SetFont(bold);
  wxString title = title_;
  title.Replace("\n", " ");
  const wxString shown_title =
      wxControl::Ellipsize(title, dc, wxELLIPSIZE_END, kHeaderTextRight - kTitleLeft);
  dc.DrawText(shown_title, kTitleLeft, kTitleTop);
  const int title_height = dc.GetTextExtent("Ag").y;

  dc.SetFont(GetFont());
  const int room = kHeaderTextRight - kSubtitleLeft;
  const WrappedText wrapped = WrapText(subtitle_.utf8_string(), room, MetricsOf(*this));
  const int line_height = dc.GetTextExtent("Ag").y;
  int y = kTitleTop + title_height + 1;
  for (std::size_t i = 0; i < wrapped.lines.size() && i < 2; ++i) {
    wxString line = wxString::FromUTF8(wrapped.lines[i]);
    if (i == 1 && wrapped.lines.size() > 2) line += " " + wxString::FromUTF8(wrapped.lines[2]);
    dc.DrawText(wxControl::Ellipsize(line, dc, wxELLIPSIZE_END, room), kSubtitleLeft, y);
    y += line_height;
  }
}

CWizardExteriorPage::CWizardExteriorPage(wxWindow* parent, const wxBitmap& watermark)
    : wxPanel(parent, wxID_ANY), watermark_(watermark) {
  SetBackgroundColour(*wxWHITE);
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CWizardExteriorPage::OnPaint, this);
}

void CWizardExteriorPage::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(*wxWHITE_BRUSH);
  dc.Clear();
  if (!watermark_.IsOk()) return;
  dc.SetClippingRegion(0, 0, kWatermarkWidth, kWatermarkHeight);
  dc.DrawBitmap(watermark_, 0, 0);
  dc.DestroyClippingRegion();
  // A page taller than the watermark: its last row carries on to the bottom,
  // so that the picture's column does not end in the middle of the page.
  const int below = GetClientSize().y - kWatermarkHeight;
  if (below <= 0 || watermark_.GetWidth() < kWatermarkWidth ||
      watermark_.GetHeight() < kWatermarkHeight)
    return;
  if (!column_end_.IsOk() || column_end_.GetHeight() != below) {
    const wxImage row = watermark_.ConvertToImage().GetSubImage(
        wxRect(0, kWatermarkHeight - 1, kWatermarkWidth, 1));
    column_end_ = wxBitmap(row.Scale(kWatermarkWidth, below));
  }
  dc.DrawBitmap(column_end_, 0, kWatermarkHeight);
}

wxImageList* MakeCheckImages(wxWindow& tree) {
  const wxSize size = wxRendererNative::Get().GetCheckBoxSize(&tree);
  auto* images = new wxImageList(size.x, size.y, true);
  const int flags[] = {0, wxCONTROL_CHECKED, wxCONTROL_DISABLED,
                       wxCONTROL_CHECKED | wxCONTROL_DISABLED};
  for (const int flag : flags) {
    wxBitmap bitmap(size.x, size.y);
    {
      wxMemoryDC dc(bitmap);
      dc.SetBackground(wxBrush(tree.GetBackgroundColour()));
      dc.Clear();
      wxRendererNative::Get().DrawCheckBox(&tree, dc, wxRect(size), flag);
    }
    // Greyed further than the theme does: a disabled row must look it.
    images->Add((flag & wxCONTROL_DISABLED) ? bitmap.ConvertToDisabled(200) : bitmap);
  }
  return images;
}

int CheckImageOf(bool checked, bool enabled) {
  if (enabled) return checked ? kImageChecked : kImageUnchecked;
  return checked ? kImageCheckedDisabled : kImageUncheckedDisabled;
}
