#include "updater/ui/notifier_controller.h"

#include <algorithm>

#include "updater/core/text.h"
#include "updater/ui/text_wrap.h"

namespace {

constexpr int kOpaque = 255;
constexpr char kEllipsis[] = "...";

RgbColor ColourOf(SettingsColour colour) {
  return RgbColor{static_cast<std::uint8_t>(colour & 0xFF),
                  static_cast<std::uint8_t>((colour >> 8) & 0xFF),
                  static_cast<std::uint8_t>((colour >> 16) & 0xFF)};
}

// Right and bottom are outside the rectangle; a reversed rectangle is empty.
RichRect RectOf(const SettingsRect& rect) {
  return RichRect{rect.left, rect.top, std::max(0, rect.right - rect.left),
                  std::max(0, rect.bottom - rect.top)};
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

void DropLastCharacter(std::string& text) {
  while (!text.empty() && IsContinuationByte(text.back())) text.pop_back();
  if (!text.empty()) text.pop_back();
}

}  // namespace

NotifierTiming NotifierTimingOf(const SettingsValues& settings) {
  NotifierTiming timing;
  timing.fade_in_step = std::clamp(settings.speed_fade_in, 1, kOpaque);
  timing.fade_out_step = std::clamp(settings.speed_fade_out, 1, kOpaque);
  timing.show_ticks = std::max(0, settings.show_time);
  timing.max_opacity = settings.transparency < 0 || settings.transparency > kOpaque
                           ? kOpaque
                           : settings.transparency;
  return timing;
}

NotifierLook NotifierLookOf(const SettingsValues& settings) {
  NotifierLook look;
  look.skin_file = settings.notify_skin;
  look.transparent_colour = ColourOf(settings.transparent_color);
  look.title_colour = ColourOf(settings.title_color);
  look.title_font =
      TitleFont(settings.title_font_face, settings.title_font_size, settings.title_font_style);
  look.title_rect = RectOf(settings.title_rect);
  look.description_rect = RectOf(settings.description_rect);
  look.close_rect = RectOf(settings.close_rect);
  return look;
}

RichFont TitleFont(std::string_view face, int size, std::string_view style) {
  RichFont font;
  font.face = TruncateUtf16(face, rich_text::kMaxFaceUnits);
  font.size = std::clamp(size, rich_text::kMinFontSize, rich_text::kMaxFontSize);
  const std::string lower = ToLower(style);
  font.bold = lower.find("bold") != std::string::npos;
  font.italic = lower.find("italic") != std::string::npos;
  font.underline = lower.find("underline") != std::string::npos;
  font.strike_out = lower.find("strikeout") != std::string::npos;
  return font;
}

RichPoint NotifierPosition(const RichRect& work_area, NotifierSize size) {
  return RichPoint{work_area.x + work_area.width - kNotifierMargin - size.width,
                   work_area.y + work_area.height - kNotifierMargin - size.height};
}

std::vector<std::string> FitTitle(std::string_view title, const RichRect& rect,
                                  const RichFont& font, const ITextMetrics& metrics) {
  const std::string bounded = TruncateUtf16(title, kNotifierTitleUnits);
  const FontExtent extent = metrics.Extent(font);
  int line_height = extent.ascent + extent.descent;
  if (line_height <= 0) line_height = metrics.Measure("Ag", font).height;
  line_height = std::max(1, line_height);
  const auto width_of = [&](std::string_view text) { return metrics.Measure(text, font).width; };

  WrappedText wrapped = WrapText(bounded, rect.width, PlainTextMetrics{width_of, line_height});
  const std::size_t max_lines = static_cast<std::size_t>(std::max(1, rect.height / line_height));
  if (wrapped.lines.size() <= max_lines) return wrapped.lines;

  wrapped.lines.resize(max_lines);
  std::string& last = wrapped.lines.back();
  while (!last.empty() && (last.back() == ' ' || width_of(last + kEllipsis) > rect.width))
    DropLastCharacter(last);
  last += kEllipsis;
  return wrapped.lines;
}

CNotifierController::CNotifierController(NotifierTiming timing, RichRect close_rect)
    : timing_(timing), close_rect_(close_rect) {
  // The timing may come from anywhere: a step of 0 would never end a fade.
  timing_.fade_in_step = std::clamp(timing_.fade_in_step, 1, kOpaque);
  timing_.fade_out_step = std::clamp(timing_.fade_out_step, 1, kOpaque);
  timing_.show_ticks = std::max(0, timing_.show_ticks);
  timing_.max_opacity = std::clamp(timing_.max_opacity, 0, kOpaque);
}

void CNotifierController::Attach(INotifierWindow& window) { window_ = &window; }

void CNotifierController::Show(const std::string& title, const std::string& description) {
  if (!window_) return;
  window_->StopTimer(NotifierTimer::kDisplay);
  window_->StopTimer(NotifierTimer::kFade);
  displaying_ = false;
  window_->SetTexts(TruncateUtf16(title, kNotifierTitleUnits),
                    TruncateUtf16(description, kNotifierDescriptionUnits));
  window_->MoveTo(NotifierPosition(window_->WorkArea(), window_->Size()));
  fading_ = window_->CanSetTransparent();
  if (!fading_) {
    // Shown at once as it is, for the display time.
    opacity_ = timing_.max_opacity;
    if (!window_->IsShown()) window_->Show();
    StartDisplay();
    return;
  }
  opacity_ = 0;
  window_->SetOpacity(opacity_);
  state_ = State::kFadingIn;
  window_->StartTimer(NotifierTimer::kFade, kNotifierFadeTickMs);
}

void CNotifierController::OnTimer(NotifierTimer timer) {
  if (!window_) return;
  // A tick of a timer that was stopped meanwhile changes nothing.
  if (timer == NotifierTimer::kFade && (state_ == State::kFadingIn || state_ == State::kFadingOut))
    FadeTick();
  else if (timer == NotifierTimer::kDisplay && state_ == State::kShown && displaying_)
    DisplayTick();
}

void CNotifierController::FadeTick() {
  if (state_ == State::kFadingIn) {
    if (!window_->IsShown()) window_->Show();
    opacity_ += timing_.fade_in_step;
    if (opacity_ > timing_.max_opacity) {
      opacity_ = timing_.max_opacity;
      window_->StopTimer(NotifierTimer::kFade);
      window_->SetOpacity(opacity_);
      StartDisplay();
      return;
    }
  } else {
    opacity_ -= timing_.fade_out_step;
    if (opacity_ < 0) {
      opacity_ = 0;
      window_->SetOpacity(opacity_);
      HideNow();
      return;
    }
  }
  window_->SetOpacity(opacity_);
}

void CNotifierController::StartDisplay() {
  state_ = State::kShown;
  countdown_ = timing_.show_ticks;
  displaying_ = !hovered_;  // a mouse already resting on the popup holds it
  if (displaying_) window_->StartTimer(NotifierTimer::kDisplay, kNotifierDisplayTickMs);
}

void CNotifierController::DisplayTick() {
  if (--countdown_ >= 0) return;
  StartFadeOut();
}

void CNotifierController::StartFadeOut() {
  window_->StopTimer(NotifierTimer::kDisplay);
  displaying_ = false;
  if (!fading_) {
    HideNow();
    return;
  }
  state_ = State::kFadingOut;
  window_->StartTimer(NotifierTimer::kFade, kNotifierFadeTickMs);
}

void CNotifierController::HideNow() {
  window_->StopTimer(NotifierTimer::kFade);
  window_->StopTimer(NotifierTimer::kDisplay);
  displaying_ = false;
  state_ = State::kHidden;
  window_->Hide();
}

void CNotifierController::OnHover() {
  hovered_ = true;
  if (window_ && state_ == State::kShown && displaying_) {
    window_->StopTimer(NotifierTimer::kDisplay);
    displaying_ = false;
  }
}

void CNotifierController::OnLeave() {
  hovered_ = false;
  // The display goes on with the countdown where it stopped.
  if (window_ && state_ == State::kShown && !displaying_) {
    displaying_ = true;
    window_->StartTimer(NotifierTimer::kDisplay, kNotifierDisplayTickMs);
  }
}

void CNotifierController::OnClick(RichPoint point) {
  if (!window_ || !close_rect_.Contains(point)) return;
  if (state_ == State::kFadingIn || state_ == State::kShown) {
    window_->StopTimer(NotifierTimer::kFade);
    StartFadeOut();
  }
}
