// The silent modes' tray icon and notifier popup as a person meets them: on a
// private X server with a notification area (trayer), a notification daemon
// (dunst) on a private session bus and a compositing manager, photographed,
// the menu opened with the mouse and answered with the keyboard (xdotool).

#include <gtest/gtest.h>
#include <stdlib.h>
#include <wx/debug.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/taskbar.h>
#include <wx/timer.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/support/desktop_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/xvfb_fixture.h"
#include "tests/ui_wx/dialog_driver.h"
#include "updater/ui/notifier_controller.h"
#include "updater/ui/wx/wx_artwork.h"
#include "updater/ui/wx/wx_notifier.h"
#include "updater/ui/wx/wx_tray.h"

namespace tray_gtest {

constexpr int kBoundMs = 20000;

// The desktop services, started once per program: the toolkit connects to
// one session bus for the program's life.
DesktopFixture* SharedDesktop(std::string* why) {
  static DesktopFixture* desktop = nullptr;
  static std::string reason;
  if (desktop || !reason.empty()) {
    *why = reason;
    return desktop;
  }
  // Menus show their items' pictures, as on desktops that ask GTK for them.
  static TempFolder configuration;
  configuration.Write("gtk-3.0/settings.ini", "[Settings]\ngtk-menu-images=1\n");
  ::setenv("XDG_CONFIG_HOME", configuration.path().c_str(), 1);
  if (!StartWindowTests(&reason)) {
    *why = reason;
    return nullptr;
  }
  auto* started = new DesktopFixture(*WindowTestServer());  // stopped when the program ends
  if (!started->StartNotifications() || !started->StartTray() || !started->StartCompositor()) {
    reason = started->Message();
    delete started;
    *why = reason;
    return nullptr;
  }
  ::setenv("DBUS_SESSION_BUS_ADDRESS", started->BusAddress().c_str(), 1);
  // A failed assertion of the toolkit fails the test instead of opening its
  // dialog.
  wxSetAssertHandler([](const wxString& file, int line, const wxString& function,
                        const wxString& condition, const wxString& message) {
    ADD_FAILURE() << "toolkit assertion " << condition.utf8_string() << " in "
                  << function.utf8_string() << " (" << file.utf8_string() << ":" << line
                  << "): " << message.utf8_string();
  });
  desktop = started;
  std::atexit([] { delete desktop; });
  return desktop;
}

// Runs the toolkit's loop until the condition holds; false after the bound.
bool PumpUntil(const std::function<bool()>& condition, int bound_ms = kBoundMs) {
  wxEventLoop loop;
  wxEventLoopActivator active(&loop);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    loop.DispatchTimeout(20);
  }
  return true;
}

// Steps run one after another from a timer of the toolkit, so that they also
// run inside the loop of an open menu; each once its condition holds and the
// xdotool of the step before has ended.
class Script {
 public:
  Script() {
    timer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
  }
  ~Script() {
    timer_.Stop();
    for (const platform::ProcessId pid : tools_) {
      if (!platform::WaitForProcess(pid, 10000)) (void)platform::TerminateProcess(pid, true);
      platform::WaitForProcess(pid, 5000);
    }
  }

  Script& Then(std::function<void()> act, std::function<bool()> ready = {}) {
    steps_.push_back({std::move(ready), std::move(act)});
    return *this;
  }
  // xdotool in the background, as a person's mouse and keys.
  Script& Xdotool(std::vector<std::string> arguments, std::function<bool()> ready = {}) {
    return Then(
        [this, arguments = std::move(arguments)] {
          auto started = platform::StartProgram(*FindTestTool("xdotool"), arguments, "/");
          if (started.status)
            tools_.push_back(started.pid);
          else
            errors += "xdotool does not start\n";
        },
        std::move(ready));
  }
  Script& Screenshot(const std::string& name, std::function<bool()> ready = {}) {
    return Then(
        [this, name] {
          const std::string path = ScreenshotFolder() + "/" + name + ".png";
          const std::string error = WindowTestServer()->Screenshot(path);
          if (error.empty())
            screenshots.push_back(path);
          else
            errors += "screenshot " + name + ": " + error + "\n";
        },
        std::move(ready));
  }

  void Start() { timer_.Start(30); }
  bool Done() const { return next_ >= steps_.size() && tools_.empty(); }

  std::vector<std::string> screenshots;
  std::string errors;

 private:
  void Tick() {
    std::vector<platform::ProcessId> running;
    for (const platform::ProcessId pid : tools_) {
      if (const auto code = platform::WaitForProcess(pid, 0)) {
        if (*code != 0) errors += "xdotool ended with " + std::to_string(*code) + "\n";
      } else {
        running.push_back(pid);
      }
    }
    tools_ = std::move(running);
    if (!tools_.empty() || next_ >= steps_.size()) return;
    DriveStep& step = steps_[next_];
    if (step.ready && !step.ready()) return;
    ++next_;
    step.act();
  }

  wxTimer timer_;
  std::vector<DriveStep> steps_;
  std::size_t next_ = 0;
  std::vector<platform::ProcessId> tools_;
};

class Tray : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    desktop_ = SharedDesktop(&why);
    ASSERT_NE(desktop_, nullptr) << why;
  }
  DesktopFixture* desktop_ = nullptr;
};

class RecordingActions : public ITrayActions {
 public:
  void OnMenuCommand(int command) override { commands.push_back(command); }
  void OnIconActivated() override { ++activations; }
  std::vector<int> commands;
  int activations = 0;
};

// The icon's window in the notification area, for xdotool.
const std::vector<std::string> kFindIcon = {"search", "--sync", "--onlyvisible", "--classname",
                                            "^Velmora Updater$"};

std::vector<std::string> With(std::vector<std::string> first,
                              const std::vector<std::string>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

TEST_F(Tray, TheIconAnimatesAndItsMenuOpensWithARightClickAndExitReachesTheMode) {
  ASSERT_TRUE(wxTaskBarIcon::IsAvailable());
  TempFolder folder;
  // A popup item's picture, as the update downloads it.
  const std::string picture = folder / "notes.png";
  ASSERT_TRUE(TrayFinishedIcon(32).ConvertToImage().SaveFile(picture, wxBITMAP_TYPE_PNG));

  RecordingActions actions;
  TrayFrame frame;
  frame.tool_tip = "Velmora Updater";
  frame.menu.items = {
      TrayMenuItem{kTrayCommandAbout, "About Updater...", false, true, {}},
      TrayMenuItem{0, {}, true, true, {}},
      TrayMenuItem{kTrayCommandFirstPopupItem, "Release notes", false, true, picture},
      TrayMenuItem{kTrayCommandFirstPopupItem + 1, "Tips & tricks", false, false, {}},
      TrayMenuItem{0, {}, true, true, {}},
      TrayMenuItem{kTrayCommandExit, "Exit", false, true, {}}};
  CWxTray tray(frame, actions);
  EXPECT_TRUE(tray.HasTray());

  // The animation steps its frames on its timer, and stops on the still icon.
  tray.Animate(TrayAnimation::kDownload);
  EXPECT_TRUE(tray.Animating());
  EXPECT_TRUE(PumpUntil([&] { return tray.Frame() >= 2; }));
  tray.StopAnimation();
  EXPECT_FALSE(tray.Animating());
  tray.SetIcon(TrayIcon::kFinished);
  EXPECT_EQ(tray.StillIcon(), TrayIcon::kFinished);
  tray.SetToolTip("Velmora Updater\nThe update 2.0 is installed.");

  Script script;
  script.Xdotool(With(kFindIcon, {"mousemove", "--window", "%1", "8", "8", "click", "3"}))
      .Screenshot("tray_menu", [&] { return tray.MenuOpen(); })
      // The last entry, Exit, is one step up from the top.
      .Xdotool({"key", "Up", "Return"});
  script.Start();
  EXPECT_TRUE(PumpUntil([&] { return script.Done() && !actions.commands.empty(); }))
      << script.errors;
  EXPECT_EQ(script.errors, "");
  EXPECT_EQ(actions.commands, (std::vector<int>{kTrayCommandExit}));
  ASSERT_EQ(script.screenshots.size(), 1u);
  EXPECT_TRUE(platform::FileExists(script.screenshots[0]));
}

TEST_F(Tray, AnEmptyMenuDoesNotOpenAndAHiddenIconLeavesTheArea) {
  RecordingActions actions;
  CWxTray tray(TrayFrame{"", "Velmora Updater", TrayMenu{}}, actions);
  Script script;
  script.Xdotool(With(kFindIcon, {"mousemove", "--window", "%1", "8", "8", "click", "3"}));
  script.Start();
  ASSERT_TRUE(PumpUntil([&] { return script.Done(); })) << script.errors;
  EXPECT_FALSE(tray.MenuOpen());
  EXPECT_TRUE(actions.commands.empty());

  tray.HideIcon();
  EXPECT_FALSE(tray.IconShown());
  tray.SetIcon(TrayIcon::kError);  // stays away
  tray.Animate(TrayAnimation::kInstall);
  EXPECT_FALSE(tray.Animating());
  Script gone;
  gone.Then([] {});
  gone.Start();
  ASSERT_TRUE(PumpUntil([&] { return gone.Done(); }));
  EXPECT_NE(
      WindowTestServer()->Xdotool({"search", "--onlyvisible", "--classname", "^Velmora Updater$"}),
      "");
}

TEST_F(Tray, ABalloonReachesTheNotificationDaemonWithItsMarkup) {
  RecordingActions actions;
  CWxTray tray(TrayFrame{"", "Velmora Updater", TrayMenu{}}, actions);
  TrayBalloon balloon;
  balloon.title = "Velmora Updater";
  balloon.text = "Version 2.0 <new> is installed & ready";
  balloon.markup = "Version 2.0 &lt;new&gt; is installed &amp; ready";
  ASSERT_TRUE(tray.ShowBalloon(balloon));
  ASSERT_TRUE(PumpUntil([&] { return !desktop_->Notifications().empty(); }));
  const std::vector<std::string> shown = desktop_->Notifications();
  ASSERT_EQ(shown.size(), 1u);
  // The service reads markup: it gets the escaped form, and shows the text.
  EXPECT_EQ(shown[0], "Velmora Updater|Version 2.0 &lt;new&gt; is installed &amp; ready");
  // The daemon's bubble on the screen.
  EXPECT_TRUE(PumpUntil([] {
    return WindowTestServer()->Xdotool({"search", "--onlyvisible", "--class", "^Dunst$"}) == "";
  }));
  Script script;
  script.Screenshot("balloon");
  script.Start();
  ASSERT_TRUE(PumpUntil([&] { return script.Done(); }));
  EXPECT_EQ(script.errors, "");
}

// Ticks the controller's timers by hand until the state is reached; the
// popup's own timers are stopped so that only these ticks count.
int TickUntil(CNotifierController& controller, NotifierTimer timer,
              CNotifierController::State state) {
  int ticks = 0;
  while (controller.CurrentState() != state && ticks < 1000) {
    controller.OnTimer(timer);
    ++ticks;
  }
  return ticks;
}

TEST_F(Tray, TheNotifierPopupFadesInInTheCornerAndFadesOut) {
  CNotifierController controller(NotifierTiming{10, 10, 3, 200});
  NotifierLook look;  // the built-in skin
  CWxNotifier popup(look, controller);
  controller.Attach(popup);
  // The compositing manager makes windows translucent once the toolkit has
  // seen it.
  ASSERT_TRUE(PumpUntil([&] { return popup.CanSetTransparent(); }));

  controller.Show("Velmora Updater has installed the update 2.0 for you, with every file in place",
                  "The update <b>2.0</b> is installed.<br><font color=\"#1856AE\">Enjoy the new "
                  "version.</font>");
  popup.StopTimer(NotifierTimer::kFade);
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kFadingIn);

  // Fading in: 21 ticks up to the maximum opacity; it shows at the first.
  EXPECT_EQ(TickUntil(controller, NotifierTimer::kFade, CNotifierController::State::kShown), 21);
  EXPECT_EQ(popup.Opacity(), 200);
  popup.StopTimer(NotifierTimer::kDisplay);
  EXPECT_TRUE(popup.IsShown());
  ASSERT_TRUE(PumpUntil([&] { return popup.Window().IsShownOnScreen(); }));

  // In the work area's corner, 10 pixels from its right and bottom edges.
  const RichRect area = popup.WorkArea();
  const RichPoint corner = NotifierPosition(area, popup.Size());
  EXPECT_EQ(popup.Window().GetPosition(), wxPoint(corner.x, corner.y));
  EXPECT_EQ(popup.Size(), (NotifierSize{kSkinWidth, kSkinHeight}));
  // The description lies in its rectangle of the skin.
  EXPECT_EQ(popup.Description().GetRect(),
            wxRect(kSkinDescriptionRect.x, kSkinDescriptionRect.y, kSkinDescriptionRect.width,
                   kSkinDescriptionRect.height));
  Script script;
  script.Screenshot("notifier_popup");
  script.Start();
  ASSERT_TRUE(PumpUntil([&] { return script.Done(); }));
  EXPECT_EQ(script.errors, "");
  // The title is cut to the lines its rectangle holds, the last one ending
  // in an ellipsis.
  ASSERT_FALSE(popup.TitleLines().empty());
  EXPECT_EQ(popup.TitleLines().back().substr(popup.TitleLines().back().size() - 3), "...");

  // The display time, then fading out to hidden.
  EXPECT_EQ(TickUntil(controller, NotifierTimer::kDisplay, CNotifierController::State::kFadingOut),
            4);
  popup.StopTimer(NotifierTimer::kFade);
  EXPECT_EQ(TickUntil(controller, NotifierTimer::kFade, CNotifierController::State::kHidden), 21);
  EXPECT_EQ(popup.Opacity(), 0);
  EXPECT_FALSE(popup.IsShown());
  ASSERT_TRUE(PumpUntil([&] { return !popup.Window().IsShownOnScreen(); }));
}

TEST_F(Tray, TheNotifierPopupRunsOnItsOwnTimersHoverHoldsItAndTheCloseButtonEndsIt) {
  CNotifierController controller(NotifierTiming{10, 10, 1000, 255}, kSkinCloseRect);
  CWxNotifier popup(NotifierLook{}, controller);
  controller.Attach(popup);
  controller.Show("Velmora Updater", "Downloading the update");
  // The real timers fade it in.
  ASSERT_TRUE(
      PumpUntil([&] { return controller.CurrentState() == CNotifierController::State::kShown; }));
  EXPECT_TRUE(popup.TimerRunning(NotifierTimer::kDisplay));
  // The mouse resting on the popup holds it; leaving it lets the time run.
  const wxPoint middle = popup.Window().GetScreenPosition() + wxPoint(kSkinWidth / 2, 90);
  Script hover;
  hover.Xdotool({"mousemove", std::to_string(middle.x), std::to_string(middle.y)});
  hover.Start();
  EXPECT_TRUE(PumpUntil([&] {
    return hover.Done() && !popup.TimerRunning(NotifierTimer::kDisplay);
  })) << hover.errors;
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kShown);
  Script leave;
  leave.Xdotool({"mousemove", "10", "10"});
  leave.Start();
  EXPECT_TRUE(PumpUntil([&] {
    return leave.Done() && popup.TimerRunning(NotifierTimer::kDisplay);
  })) << leave.errors;
  // A person clicks the close button: it fades out and hides.
  const wxPoint at =
      popup.Window().GetScreenPosition() + wxPoint(kSkinCloseRect.x + kSkinCloseRect.width / 2,
                                                   kSkinCloseRect.y + kSkinCloseRect.height / 2);
  Script script;
  script.Xdotool({"mousemove", std::to_string(at.x), std::to_string(at.y), "click", "1"});
  script.Start();
  EXPECT_TRUE(PumpUntil([&] {
    return script.Done() && controller.CurrentState() == CNotifierController::State::kHidden;
  })) << script.errors;
  EXPECT_FALSE(popup.IsShown());
}

}  // namespace tray_gtest
