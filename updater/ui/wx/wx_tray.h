#pragma once
// The silent modes' icon in the desktop's notification area on wxWidgets: the
// still icons and the animation (a timer steps the frames), the tool tip, the
// context menu, and the notifications of the desktop's notification service.

#include <wx/bmpbndl.h>
#include <wx/timer.h>

#include <memory>
#include <vector>

#include "updater/ui/tray_view.h"

class wxNotificationMessage;
class CTrayIconWindow;

class CWxTray : public ITrayView {
 public:
  // Shows the icon at once with the frame's icon, tool tip and menu.
  CWxTray(const TrayFrame& frame, ITrayActions& actions);
  ~CWxTray() override;
  CWxTray(const CWxTray&) = delete;
  CWxTray& operator=(const CWxTray&) = delete;

  bool HasTray() const override;
  void SetIcon(TrayIcon icon) override;
  void Animate(TrayAnimation animation) override;
  void StopAnimation() override;
  void SetToolTip(const std::string& text) override;
  void HideIcon() override;
  void SetMenu(const TrayMenu& menu) override;
  bool ShowBalloon(const TrayBalloon& balloon) override;
  std::unique_ptr<INotifierWindow> CreateNotifier(const NotifierLook& look,
                                                  INotifierActions& actions) override;

  // What the icon shows, for tests: the still icon, whether it animates and
  // the frame it is at, the tool tip and whether it is in the tray at all.
  TrayIcon StillIcon() const { return still_; }
  bool Animating() const { return animation_timer_.IsRunning(); }
  int Frame() const { return frame_; }
  const std::string& ToolTip() const { return tool_tip_; }
  bool IconShown() const { return !hidden_; }
  // Whether the context menu is on the screen.
  bool MenuOpen() const;

  // The pictures' size in pixels.
  static constexpr int kIconSize = 24;

 private:
  void ShowCurrent();
  void NextFrame();

  CTrayIconWindow* icon_;  // the toolkit destroys it once its events are done
  wxBitmapBundle default_icon_;
  std::vector<wxBitmap> frames_;
  wxTimer animation_timer_;
  TrayIcon still_ = TrayIcon::kDefault;
  int frame_ = 0;
  std::string tool_tip_;
  bool hidden_ = false;
  // The last notification; the service's object lives until the next one.
  std::unique_ptr<wxNotificationMessage> balloon_;
};
