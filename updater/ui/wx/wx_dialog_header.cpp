#include "updater/ui/wx/wx_dialog_header.h"

#include <wx/control.h>
#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/image.h>

#include <algorithm>
#include <memory>
#include <numbers>

#include "updater/ui/dialog_layout.h"

namespace {

struct Palette {
  wxColour band;
  wxColour badge;
};

Palette PaletteOf(HeaderArt art) {
  switch (art) {
    case HeaderArt::kError:
      return {wxColour(250, 222, 218), wxColour(192, 57, 43)};
    case HeaderArt::kWarning:
      return {wxColour(252, 238, 205), wxColour(214, 137, 16)};
    case HeaderArt::kCloseApplication:
      return {wxColour(226, 232, 244), wxColour(84, 110, 160)};
    case HeaderArt::kKey:
      return {wxColour(222, 240, 226), wxColour(39, 140, 84)};
    case HeaderArt::kAbout:
      return {wxColour(234, 226, 246), wxColour(110, 76, 170)};
    case HeaderArt::kQuestion:
    case HeaderArt::kInformation:
      break;
  }
  return {wxColour(218, 232, 250), wxColour(41, 108, 190)};
}

// The badge: a round disc with a simple sign drawn in white lines.
void DrawBadge(wxGraphicsContext& gc, HeaderArt art, const wxRect2DDouble& box,
               const wxColour& colour) {
  gc.SetPen(wxPen(colour.ChangeLightness(80), 1));
  gc.SetBrush(gc.CreateRadialGradientBrush(
      box.m_x + box.m_width * 0.35, box.m_y + box.m_height * 0.3, box.GetCentre().m_x,
      box.GetCentre().m_y, box.m_width * 0.6, colour.ChangeLightness(140), colour));
  gc.DrawEllipse(box.m_x, box.m_y, box.m_width, box.m_height);
  const double cx = box.GetCentre().m_x;
  const double cy = box.GetCentre().m_y;
  const double r = box.m_width / 2;
  gc.SetPen(wxPen(*wxWHITE, 4, wxPENSTYLE_SOLID));
  gc.SetBrush(*wxWHITE_BRUSH);
  wxGraphicsPath path = gc.CreatePath();
  switch (art) {
    case HeaderArt::kQuestion:
      path.AddArc(cx, cy - r * 0.22, r * 0.32, std::numbers::pi * 1.1, std::numbers::pi * 2.45,
                  true);
      path.AddLineToPoint(cx, cy + r * 0.18);
      gc.StrokePath(path);
      gc.DrawEllipse(cx - 2.5, cy + r * 0.42, 5, 5);
      break;
    case HeaderArt::kError:
    case HeaderArt::kCloseApplication:
      gc.StrokeLine(cx - r * 0.38, cy - r * 0.38, cx + r * 0.38, cy + r * 0.38);
      gc.StrokeLine(cx + r * 0.38, cy - r * 0.38, cx - r * 0.38, cy + r * 0.38);
      break;
    case HeaderArt::kWarning:
      gc.StrokeLine(cx, cy - r * 0.5, cx, cy + r * 0.15);
      gc.DrawEllipse(cx - 2.5, cy + r * 0.38, 5, 5);
      break;
    case HeaderArt::kInformation:
    case HeaderArt::kAbout:
      gc.DrawEllipse(cx - 3.5, cy - r * 0.62, 7, 7);
      gc.StrokeLine(cx, cy - r * 0.1, cx, cy + r * 0.52);
      break;
    case HeaderArt::kKey:
      gc.SetBrush(*wxTRANSPARENT_BRUSH);
      gc.DrawEllipse(cx - r * 0.5, cy - r * 0.3, r * 0.6, r * 0.6);
      gc.StrokeLine(cx + r * 0.1, cy, cx + r * 0.55, cy);
      gc.StrokeLine(cx + r * 0.45, cy, cx + r * 0.45, cy + r * 0.25);
      break;
  }
}

}  // namespace

wxBitmap BadgeBitmap(HeaderArt art, int size) {
  wxImage image(size, size);
  image.InitAlpha();
  std::fill_n(image.GetAlpha(), size * size, 0);
  wxBitmap bitmap(image);
  wxMemoryDC dc(bitmap);
  std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
  if (gc) {
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    const double margin = size / 16.0;
    DrawBadge(*gc, art, wxRect2DDouble(margin, margin, size - 2 * margin, size - 2 * margin),
              PaletteOf(art).badge);
  }
  dc.SelectObject(wxNullBitmap);
  return bitmap;
}

CWxDialogHeader::CWxDialogHeader(wxWindow* parent, HeaderArt art, const std::string& heading)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, kDialogHeaderHeight)),
      art_(art),
      heading_(wxString::FromUTF8(heading)) {
  heading_.Replace("\n", " ");
  heading_.Replace("\r", "");
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Bind(wxEVT_PAINT, &CWxDialogHeader::OnPaint, this);
}

void CWxDialogHeader::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  const Palette palette = PaletteOf(art_);
  dc.GradientFillLinear(wxRect(size), *wxWHITE, palette.band, wxEAST);
  std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
  if (gc) {
    gc->SetAntialiasMode(wxANTIALIAS_DEFAULT);
    const double left = size.x - kCloseIconFromRight;
    DrawBadge(*gc, art_, wxRect2DDouble(left, kCloseIconTop, kCloseIconSize, kCloseIconSize),
              palette.badge);
  }
  // The heading: one line, vertically centred, bold, cut with an ellipsis
  // before the badge.
  wxFont font = GetFont();
  font.SetWeight(wxFONTWEIGHT_BOLD);
  font.SetFractionalPointSize(font.GetFractionalPointSize() * 1.2);
  dc.SetFont(font);
  dc.SetTextForeground(wxColour(30, 30, 30));
  const int room = size.x - kCloseIconFromRight - 12 - 8;
  const wxString shown = wxControl::Ellipsize(heading_, dc, wxELLIPSIZE_END, room);
  const int height = dc.GetTextExtent(shown.empty() ? wxString("Ag") : shown).y;
  dc.DrawText(shown, 12, (size.y - height) / 2);
}
