#pragma once
// The notifier popup's logic: the fade in / display / fade out state machine,
// the popup's place in the corner of the work area, the title's font and the
// title's lines. The popup's window (INotifierWindow) is attached once it
// exists; its timers report back here.
//
// States: hidden -> fading in (fade timer) -> shown (display timer) -> fading
// out (fade timer) -> hidden. Show in any state starts again at fading in
// from opacity 0. The mouse resting on the popup holds the shown state; a
// click in the close rectangle fades out at once from the current opacity. A
// window that cannot be translucent shows and hides without fading.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "updater/core/updater_settings.h"
#include "updater/ui/notifier_view.h"
#include "updater/ui/text_metrics.h"

// The timers' periods. A fade step every 15 ms: with the default step of 10
// a fade takes about a third of a second (a 1 ms period would spin the loop
// and fade faster than the screen draws).
inline constexpr int kNotifierFadeTickMs = 15;
inline constexpr int kNotifierDisplayTickMs = 100;
// The popup's distance from the work area's right and bottom edges.
inline constexpr int kNotifierMargin = 10;
// The longest title and description, in UTF-16 code units; longer ones are cut.
inline constexpr std::size_t kNotifierTitleUnits = 1024;
inline constexpr std::size_t kNotifierDescriptionUnits = 8192;

// How the popup moves through its states.
struct NotifierTiming {
  int fade_in_step = 10;   // opacity added per fade tick, 1..255
  int fade_out_step = 10;  // opacity taken per fade tick, 1..255
  int show_ticks = 30;     // the display time in ticks of 100 ms, at least 0
  int max_opacity = 200;   // 0..255
  bool operator==(const NotifierTiming&) const = default;
};

// The timing the settings give: fade steps clamped to 1..255, a negative
// display time taken as 0, a maximum opacity below 0 or above 255 taken as 255.
NotifierTiming NotifierTimingOf(const SettingsValues& settings);
// The look the settings give (rectangles from left, top, right, bottom).
NotifierLook NotifierLookOf(const SettingsValues& settings);

// The title's font: `size` points of `face`; the style, in any letter case,
// turns on bold, italic, underline and strike-out where it contains "bold",
// "italic", "underline" and "strikeout" (any combination).
RichFont TitleFont(std::string_view face, int size, std::string_view style);

// Where the popup of `size` stands: its right edge kNotifierMargin pixels left
// of the work area's right edge, its bottom edge kNotifierMargin above the
// work area's bottom.
RichPoint NotifierPosition(const RichRect& work_area, NotifierSize size);

// The title's lines in its rectangle: word-wrapped at the rectangle's width;
// when more lines than fit its height (at least one) remain, the last line
// that fits ends with "..." and is shortened until it fits the width.
std::vector<std::string> FitTitle(std::string_view title, const RichRect& rect,
                                  const RichFont& font, const ITextMetrics& metrics);

class CNotifierController : public INotifierActions {
 public:
  enum class State { kHidden, kFadingIn, kShown, kFadingOut };

  explicit CNotifierController(NotifierTiming timing, RichRect close_rect = {});

  // The popup's window; the controller does nothing visible before.
  void Attach(INotifierWindow& window);

  // Shows the title and the description: fades in from opacity 0.
  void Show(const std::string& title, const std::string& description);

  void OnTimer(NotifierTimer timer) override;
  void OnHover() override;
  void OnLeave() override;
  void OnClick(RichPoint point) override;

  State CurrentState() const { return state_; }
  int Opacity() const { return opacity_; }
  int DisplayTicksLeft() const { return countdown_; }
  const NotifierTiming& Timing() const { return timing_; }

 private:
  void FadeTick();
  void DisplayTick();
  void StartDisplay();
  void StartFadeOut();
  void HideNow();

  NotifierTiming timing_;
  RichRect close_rect_;
  INotifierWindow* window_ = nullptr;
  State state_ = State::kHidden;
  int opacity_ = 0;
  int countdown_ = 0;
  bool fading_ = true;       // the window can be translucent
  bool hovered_ = false;     // the mouse rests on the popup
  bool displaying_ = false;  // the display timer runs
};
