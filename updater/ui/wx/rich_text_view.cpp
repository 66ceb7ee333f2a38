#include "updater/ui/wx/rich_text_view.h"

#include <wx/dcclient.h>
#include <wx/font.h>
#include <wx/settings.h>

#include <utility>

#include "platform/process.h"
#include "updater/ui/link_address.h"

namespace {

RgbColor ToRgb(const wxColour& colour) {
  return RgbColor{colour.Red(), colour.Green(), colour.Blue()};
}

wxColour ToWx(RgbColor colour) { return wxColour(colour.red, colour.green, colour.blue); }

RichFont FromWx(const wxFont& font) {
  RichFont rich;
  rich.face = font.GetFaceName().utf8_string();
  rich.size = font.GetPointSize() > 0 ? font.GetPointSize() : 10;
  rich.bold = font.GetWeight() >= wxFONTWEIGHT_BOLD;
  rich.italic = font.GetStyle() == wxFONTSTYLE_ITALIC;
  return rich;
}

}  // namespace

TextExtent CWxDcMetrics::Measure(std::string_view text, const RichFont& font) const {
  dc_.SetFont(ToWxFont(font));
  wxCoord width = 0;
  wxCoord height = 0;
  dc_.GetTextExtent(wxString::FromUTF8(text.data(), text.size()), &width, &height);
  return TextExtent{width, height};
}

FontExtent CWxDcMetrics::Extent(const RichFont& font) const {
  dc_.SetFont(ToWxFont(font));
  wxCoord width = 0;
  wxCoord height = 0;
  wxCoord descent = 0;
  dc_.GetTextExtent("Xg", &width, &height, &descent);
  return FontExtent{height - descent, descent};
}

wxFont ToWxFont(const RichFont& font) {
  wxFontInfo info(font.size > 0 ? font.size : 10);
  if (font.fixed_pitch) {
    info.Family(wxFONTFAMILY_TELETYPE);
  } else if (!font.face.empty()) {
    info.FaceName(wxString::FromUTF8(font.face));
  }
  info.Bold(font.bold)
      .Italic(font.italic)
      .Underlined(font.underline)
      .Strikethrough(font.strike_out);
  return wxFont(info);
}

CRichTextView::CRichTextView(wxWindow* parent, wxWindowID id, const wxPoint& position,
                             const wxSize& size, Opener opener)
    : wxWindow(parent, id, position, size, wxFULL_REPAINT_ON_RESIZE),
      label_(ToRgb(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW)),
             ToRgb(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOWTEXT)),
             FromWx(parent ? parent->GetFont() : *wxNORMAL_FONT)),
      opener_(std::move(opener)) {
  if (!opener_)
    opener_ = [](const std::string& address) { (void)platform::OpenWithDesktop(address); };
  Bind(wxEVT_PAINT, &CRichTextView::OnPaint, this);
  Bind(wxEVT_MOTION, &CRichTextView::OnMotion, this);
  Bind(wxEVT_LEAVE_WINDOW, &CRichTextView::OnLeave, this);
  Bind(wxEVT_LEFT_DOWN, &CRichTextView::OnLeftDown, this);
}

void CRichTextView::SetMarkup(std::string markup) {
  label_.SetText(std::move(markup));
  Refresh();
}

void CRichTextView::SetBackdrop(const wxBitmap& picture) {
  backdrop_ = picture;
  Refresh();
}

void CRichTextView::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  const wxSize client = GetClientSize();
  if (backdrop_.IsOk()) dc.DrawBitmap(backdrop_, 0, 0);
  CWxDcMetrics metrics(dc);
  const RichTextLayout& layout = label_.Layout(metrics, client.GetWidth(), client.GetHeight());
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  for (const PlacedText& text : layout.texts) {
    dc.SetFont(ToWxFont(text.font));
    dc.SetTextForeground(ToWx(text.color));
    dc.DrawText(wxString::FromUTF8(text.text), text.position.x, text.position.y);
  }
  dc.SetPen(*wxTRANSPARENT_PEN);
  for (const PlacedRule& rule : layout.rules) {
    dc.SetBrush(wxBrush(ToWx(rule.color)));
    dc.DrawRectangle(rule.rect.x, rule.rect.y, rule.rect.width, rule.rect.height);
  }
}

void CRichTextView::OnMotion(wxMouseEvent& event) {
  const bool over = label_.LinkAt(RichPoint{event.GetX(), event.GetY()}).has_value();
  if (over != over_link_) {
    over_link_ = over;
    SetCursor(over ? wxCursor(wxCURSOR_HAND) : wxNullCursor);
  }
  event.Skip();
}

void CRichTextView::OnLeave(wxMouseEvent& event) {
  if (over_link_) {
    over_link_ = false;
    SetCursor(wxNullCursor);
  }
  event.Skip();
}

void CRichTextView::OnLeftDown(wxMouseEvent& event) {
  if (const auto target = label_.LinkAt(RichPoint{event.GetX(), event.GetY()}))
    if (const auto address = OpenableLinkAddress(*target)) opener_(*address);
  event.Skip();
}
