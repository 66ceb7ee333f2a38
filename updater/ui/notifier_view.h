#pragma once
// The notifier popup as its logic (CNotifierController) sees it: a small
// skinned window in the corner of the work area that fades in, stays a while
// and fades out. The view draws; the controller decides when it shows, how
// opaque it is and where it stands. The view's two timers are driven through
// INotifierTimers and reported back through INotifierActions, so that tests
// tick them by hand. Nothing here knows the toolkit.

#include <string>

#include "updater/ui/rich_text.h"

// How the popup looks: the settings' NOTIFY section.
struct NotifierLook {
  // The background image; its pixels of transparent_colour are see-through,
  // so the image gives the popup its shape. Empty or unusable: the built-in
  // skin.
  std::string skin_file;
  RgbColor transparent_colour{255, 0, 255};
  RgbColor title_colour{255, 255, 255};
  RichFont title_font;  // see TitleFont (notifier_controller.h)
  // In the popup's pixels.
  RichRect title_rect;
  RichRect description_rect;  // the rich-text label with the description
  RichRect close_rect;        // a click here fades the popup out; a hand cursor over it
  bool operator==(const NotifierLook&) const = default;
};

struct NotifierSize {
  int width = 0;
  int height = 0;
  bool operator==(const NotifierSize&) const = default;
};

enum class NotifierTimer {
  kFade = 0,     // one step of fading in or out
  kDisplay = 1,  // one step of the display time
};

// The popup's two repeating timers.
class INotifierTimers {
 public:
  virtual ~INotifierTimers() = default;
  // Starts (or restarts) the timer; it fires every interval_ms until stopped,
  // each time calling INotifierActions::OnTimer.
  virtual void StartTimer(NotifierTimer timer, int interval_ms) = 0;
  virtual void StopTimer(NotifierTimer timer) = 0;
};

class INotifierView {
 public:
  virtual ~INotifierView() = default;
  // The title (drawn in the title rectangle, wrapped, see FitTitle) and the
  // description (mini-HTML of the rich-text label); both are repainted at once.
  virtual void SetTexts(const std::string& title, const std::string& description) = 0;
  // Makes the popup visible on top of the other windows, without taking the
  // focus, at the opacity last set.
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool IsShown() const = 0;
  // False when the window manager cannot make this window translucent: the
  // popup then shows and hides without fading.
  virtual bool CanSetTransparent() const = 0;
  // 0 (invisible) to 255 (opaque).
  virtual void SetOpacity(int opacity) = 0;
  // The size of the popup (its skin's size).
  virtual NotifierSize Size() const = 0;
  // The part of the desktop that panels and task bars leave free, in screen
  // pixels.
  virtual RichRect WorkArea() const = 0;
  virtual void MoveTo(RichPoint top_left) = 0;
};

// The popup window of the toolkit: the view with its timers.
class INotifierWindow : public INotifierView, public INotifierTimers {};

// What happens to the popup.
class INotifierActions {
 public:
  virtual ~INotifierActions() = default;
  virtual void OnTimer(NotifierTimer timer) = 0;
  // The mouse came to rest on the popup / left it.
  virtual void OnHover() = 0;
  virtual void OnLeave() = 0;
  // The left button was released at a point of the popup.
  virtual void OnClick(RichPoint point) = 0;
};
