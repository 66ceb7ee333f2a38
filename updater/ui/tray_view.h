#pragma once
// The silent modes' notification-area icon as their logic sees it. The mode
// (CModeSilent) decides every icon, text, menu and notification; a view (the
// toolkit's tray icon, or a test's recorder) shows what it is told and reports
// what the person does through ITrayActions. Nothing here knows the toolkit.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "updater/ui/notifier_view.h"

// The still icons of the tray.
enum class TrayIcon {
  kDefault,   // the application's icon (the settings' ICON file, else the built-in one)
  kFinished,  // the update is done, or there was nothing to do
  kError,
};

// The animations, one per task; the view cycles their frames every
// kTrayAnimationStepMs until StopAnimation.
enum class TrayAnimation { kCheck, kDownload, kInstall };
inline constexpr int kTrayAnimationStepMs = 300;

// The longest texts, in UTF-16 code units; longer ones are cut, never inside
// a character.
inline constexpr std::size_t kToolTipUnits = 127;
inline constexpr std::size_t kBalloonTitleUnits = 64;
inline constexpr std::size_t kBalloonTextUnits = 256;

enum class NotificationKind { kInformation, kWarning, kError };

// A notification of the desktop's notification service (a balloon).
struct TrayBalloon {
  std::string title;  // plain text, at most kBalloonTitleUnits UTF-16 units
  std::string text;   // plain text, at most kBalloonTextUnits UTF-16 units
  // The same text escaped for a service that reads markup in the body
  // (& < > written as character references); the view gives the service the
  // form it reads.
  std::string markup;
  NotificationKind kind = NotificationKind::kInformation;
  bool operator==(const TrayBalloon&) const = default;
};

// One entry of the context menu.
struct TrayMenuItem {
  int command = 0;  // what ITrayActions::OnMenuCommand receives; 0 for a separator
  std::string text;
  bool separator = false;
  bool enabled = true;
  // A popup item's image (a file of the updater's temporary folder); "" for
  // none. A file that does not load leaves the item without an image.
  std::string image_file;
  bool operator==(const TrayMenuItem&) const = default;
};

// The context menu, in order. An empty menu is not shown at all (during a
// rollback a right click shows nothing).
struct TrayMenu {
  std::vector<TrayMenuItem> items;
  bool operator==(const TrayMenu&) const = default;
};

// The menu's commands.
inline constexpr int kTrayCommandExit = 32771;
inline constexpr int kTrayCommandFirstPopupItem = 32772;  // the update file's items, in order
inline constexpr int kTrayCommandAbout = 32783;

// What the view is created with.
struct TrayFrame {
  std::string icon_file;  // the settings' ICON; empty or unusable: the built-in icon
  std::string tool_tip;   // the first tool tip
  TrayMenu menu;          // the first menu
};

class ITrayView {
 public:
  virtual ~ITrayView() = default;
  // False when the desktop has no notification area (the icon, its tool tip
  // and its menu then do nothing; notifications still work).
  virtual bool HasTray() const = 0;
  virtual void SetIcon(TrayIcon icon) = 0;
  // Starts the task's animation from its first frame (a running one is
  // stopped first).
  virtual void Animate(TrayAnimation animation) = 0;
  // Stops the animation and puts back the icon shown before it started.
  virtual void StopAnimation() = 0;
  // The tool tip, already cut to kToolTipUnits UTF-16 units; lines are
  // separated by "\n".
  virtual void SetToolTip(const std::string& text) = 0;
  // Removes the icon from the notification area; it does not come back.
  virtual void HideIcon() = 0;
  // The menu a right click shows from now on.
  virtual void SetMenu(const TrayMenu& menu) = 0;
  // Hands the balloon to the desktop's notification service; false when the
  // service is missing or refused it (the mode then shows the popup).
  virtual bool ShowBalloon(const TrayBalloon& balloon) = 0;
  // The skinned notifier popup, hidden until its controller shows it; it
  // reports to actions, which outlives it. nullptr when there is none.
  virtual std::unique_ptr<INotifierWindow> CreateNotifier(const NotifierLook& look,
                                                          INotifierActions& actions) = 0;
};

// What the person does with the icon.
class ITrayActions {
 public:
  virtual ~ITrayActions() = default;
  // A menu item was chosen.
  virtual void OnMenuCommand(int command) = 0;
  // The icon was double-clicked (or activated with the keyboard).
  virtual void OnIconActivated() = 0;
};

// Creates the tray view for a silent mode; the toolkit's module gives the real
// one, tests a recorder. nullptr when no view can be made.
using TrayViewFactory =
    std::function<std::unique_ptr<ITrayView>(const TrayFrame& frame, ITrayActions& actions)>;
