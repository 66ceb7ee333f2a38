#include "updater/ui/wx/wx_notifier.h"

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/region.h>

#include <algorithm>

#include "updater/ui/notifier_controller.h"
#include "updater/ui/wx/rich_text_view.h"
#include "updater/ui/wx/wx_artwork.h"

namespace {

bool IsEmpty(const RichRect& rect) { return rect.width <= 0 || rect.height <= 0; }

wxColour ToWx(RgbColor colour) { return wxColour(colour.red, colour.green, colour.blue); }

constexpr long kPopupStyle =
    wxBORDER_NONE | wxSTAY_ON_TOP | wxFRAME_NO_TASKBAR | wxFRAME_TOOL_WINDOW | wxFRAME_SHAPED;

}  // namespace

// The popup's frame: hands its paint and mouse events to its owner while the
// owner lives.
class CNotifierFrame : public wxFrame {
 public:
  explicit CNotifierFrame(CWxNotifier& owner)
      : wxFrame(nullptr, wxID_ANY, "Velmora notification", wxDefaultPosition, wxDefaultSize,
                kPopupStyle),
        owner_(&owner) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    // The label stays at its rectangle: a frame would stretch its only child
    // over the whole client area.
    Bind(wxEVT_SIZE, [](wxSizeEvent&) {});
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
      wxPaintDC dc(this);
      if (owner_) owner_->Paint(dc);
    });
    // A pointer put onto the popup at once enters it without moving in it.
    for (const auto type : {wxEVT_MOTION, wxEVT_ENTER_WINDOW}) {
      Bind(type, [this](wxMouseEvent& event) {
        if (owner_) owner_->MouseMoved(event.GetPosition());
        event.Skip();
      });
    }
    Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& event) {
      if (owner_) owner_->MouseLeft();
      event.Skip();
    });
    Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& event) {
      if (owner_) owner_->actions_.OnClick(RichPoint{event.GetX(), event.GetY()});
      event.Skip();
    });
  }
  void Orphan() { owner_ = nullptr; }
  // The person cannot close it with the keyboard: only the close area fades
  // it out.
  bool AcceptsFocus() const override { return false; }

 private:
  CWxNotifier* owner_;
};

CWxNotifier::CWxNotifier(const NotifierLook& look, INotifierActions& actions)
    : look_(look), actions_(actions), frame_(new CNotifierFrame(*this)) {
  const NotifierSkin skin = NotifierSkinOf(look_.skin_file, look_.transparent_colour);
  skin_ = skin.picture;
  if (skin.built_in) {
    // The built-in skin has its own places for what the settings leave empty.
    if (IsEmpty(look_.title_rect)) look_.title_rect = kSkinTitleRect;
    if (IsEmpty(look_.description_rect)) look_.description_rect = kSkinDescriptionRect;
    if (IsEmpty(look_.close_rect)) look_.close_rect = kSkinCloseRect;
  }
  frame_->SetClientSize(skin_.GetWidth(), skin_.GetHeight());
  frame_->SetShape(wxRegion(skin_, ToWx(look_.transparent_colour)));

  const RichRect& place = look_.description_rect;
  description_ = new CRichTextView(frame_, wxID_ANY, wxPoint(place.x, place.y),
                                   wxSize(std::max(place.width, 0), std::max(place.height, 0)));
  if (!IsEmpty(place) && place.x < skin_.GetWidth() && place.y < skin_.GetHeight()) {
    const int width = std::min(place.width, skin_.GetWidth() - place.x);
    const int height = std::min(place.height, skin_.GetHeight() - place.y);
    description_->SetBackdrop(skin_.GetSubBitmap(wxRect(place.x, place.y, width, height)));
  }
  // The label's own part of the popup reports the mouse in the popup's
  // pixels like the rest of it.
  for (const auto type : {wxEVT_MOTION, wxEVT_ENTER_WINDOW}) {
    description_->Bind(type, [this](wxMouseEvent& event) {
      MouseMoved(event.GetPosition() + description_->GetPosition());
      event.Skip();
    });
  }
  description_->Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent& event) {
    MouseLeft();
    event.Skip();
  });
  description_->Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& event) {
    const wxPoint at = event.GetPosition() + description_->GetPosition();
    actions_.OnClick(RichPoint{at.x, at.y});
    event.Skip();
  });

  fade_timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { actions_.OnTimer(NotifierTimer::kFade); });
  display_timer_.Bind(wxEVT_TIMER,
                      [this](wxTimerEvent&) { actions_.OnTimer(NotifierTimer::kDisplay); });
}

CWxNotifier::~CWxNotifier() {
  fade_timer_.Stop();
  display_timer_.Stop();
  frame_->Orphan();
  frame_->Hide();
  frame_->Destroy();
}

wxWindow& CWxNotifier::Window() { return *frame_; }

wxWindow& CWxNotifier::Description() { return *description_; }

void CWxNotifier::SetTexts(const std::string& title, const std::string& description) {
  title_ = title;
  description_->SetMarkup(description);
  frame_->Refresh();
  frame_->Update();
}

void CWxNotifier::Show() {
  frame_->ShowWithoutActivating();
  frame_->Raise();
}

void CWxNotifier::Hide() {
  frame_->Hide();
  hovered_ = false;
}

bool CWxNotifier::IsShown() const { return frame_->IsShown(); }

bool CWxNotifier::CanSetTransparent() const { return frame_->CanSetTransparent(); }

void CWxNotifier::SetOpacity(int opacity) {
  opacity_ = std::clamp(opacity, 0, 255);
  if (frame_->CanSetTransparent()) frame_->SetTransparent(static_cast<wxByte>(opacity_));
}

NotifierSize CWxNotifier::Size() const { return NotifierSize{skin_.GetWidth(), skin_.GetHeight()}; }

RichRect CWxNotifier::WorkArea() const {
  const int index = wxDisplay::GetFromWindow(frame_);
  const wxDisplay display(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index));
  const wxRect area = display.GetClientArea();
  return RichRect{area.x, area.y, area.width, area.height};
}

void CWxNotifier::MoveTo(RichPoint top_left) { frame_->Move(top_left.x, top_left.y); }

wxTimer& CWxNotifier::TimerOf(NotifierTimer timer) {
  return timer == NotifierTimer::kFade ? fade_timer_ : display_timer_;
}

void CWxNotifier::StartTimer(NotifierTimer timer, int interval_ms) {
  TimerOf(timer).Start(std::max(interval_ms, 1));
}

void CWxNotifier::StopTimer(NotifierTimer timer) { TimerOf(timer).Stop(); }

bool CWxNotifier::TimerRunning(NotifierTimer timer) const {
  return (timer == NotifierTimer::kFade ? fade_timer_ : display_timer_).IsRunning();
}

void CWxNotifier::Paint(wxDC& dc) {
  if (skin_.IsOk()) dc.DrawBitmap(skin_, 0, 0);
  const RichRect& rect = look_.title_rect;
  if (IsEmpty(rect) || title_.empty()) {
    title_lines_.clear();
    return;
  }
  CWxDcMetrics metrics(dc);
  title_lines_ = FitTitle(title_, rect, look_.title_font, metrics);
  const FontExtent extent = metrics.Extent(look_.title_font);
  const int line_height = std::max(1, extent.ascent + extent.descent);
  wxDCClipper clip(dc, wxRect(rect.x, rect.y, rect.width, rect.height));
  dc.SetFont(ToWxFont(look_.title_font));
  dc.SetTextForeground(ToWx(look_.title_colour));
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  int y = rect.y;
  for (const std::string& line : title_lines_) {
    dc.DrawText(wxString::FromUTF8(line), rect.x, y);
    y += line_height;
  }
}

void CWxNotifier::MouseMoved(wxPoint point) {
  if (!hovered_) {
    hovered_ = true;
    actions_.OnHover();
  }
  const bool over_close = look_.close_rect.Contains(RichPoint{point.x, point.y});
  if (over_close != over_close_) {
    over_close_ = over_close;
    frame_->SetCursor(over_close ? wxCursor(wxCURSOR_HAND) : wxNullCursor);
  }
}

void CWxNotifier::MouseLeft() {
  // Moving between the popup and its label is no leaving.
  if (!hovered_ || frame_->GetScreenRect().Contains(wxGetMousePosition())) return;
  hovered_ = false;
  actions_.OnLeave();
}
