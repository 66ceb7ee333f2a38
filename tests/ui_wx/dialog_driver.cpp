#include "tests/ui_wx/dialog_driver.h"

#include <stdlib.h>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/timer.h>
#include <wx/toplevel.h>

#include <memory>

#include "platform/file_system.h"
#include "platform/process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/xvfb_fixture.h"
#include "updater/ui/wx/wx_dialog_header.h"
#include "updater/ui/wx/wx_window_module.h"

namespace {

constexpr int kDialogBoundMs = 20000;
constexpr std::int64_t kXdotoolBoundMs = 10000;

XvfbFixture* g_server = nullptr;

std::string Xdotool() { return FindTestTool("xdotool").value_or(""); }

}  // namespace

const XvfbFixture* WindowTestServer() { return g_server; }

bool StartWindowTests(std::string* why) {
  static bool started = false;
  static std::string reason;
  if (started || !reason.empty()) {
    *why = reason;
    return started;
  }
  if (Xdotool().empty()) {
    reason = "xdotool is not installed (apt-get install xdotool)";
    *why = reason;
    return false;
  }
  g_server = new XvfbFixture;  // stopped when the program ends
  if (!g_server->Start()) {
    reason = g_server->Message();
    *why = reason;
    return false;
  }
  ::setenv("DISPLAY", g_server->Display().c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
  ::setenv("GDK_BACKEND", "x11", 1);
  ::setenv("NO_AT_BRIDGE", "1", 1);
  // Without the theme's animations a control shows its new state (a button
  // enabled, say) in the first picture taken after it was painted.
  static TempFolder config;  // removed when the program ends
  config.Write("gtk-3.0/settings.ini", "[Settings]\ngtk-enable-animations=0\n");
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  static auto* module = new CWxWindowModule;
  if (platform::Status status = module->Start(); !status) {
    reason = "the toolkit does not start: " + status.message();
    *why = reason;
    return false;
  }
  std::atexit([] {
    delete g_server;
    g_server = nullptr;
  });
  started = true;
  return true;
}

DialogDriver::DialogDriver(wxDialog& dialog) : dialog_(dialog) {}

DialogDriver::~DialogDriver() { WaitForXdotool(); }

DialogDriver& DialogDriver::Then(std::function<void()> act, std::function<bool()> ready) {
  steps_.push_back({std::move(ready), std::move(act)});
  return *this;
}

DialogDriver& DialogDriver::Screenshot(const std::string& name, std::function<bool()> ready) {
  // First the dialog paints what changed (in the toolkit's own drawing pass,
  // which draws the native controls too), then the next step takes the picture.
  Then(
      [this] {
        *painted_ = false;
        dialog_.Refresh();
      },
      std::move(ready));
  return Then(
      [this, name] {
        const std::string path = ScreenshotFolder() + "/" + name + ".png";
        const std::string error = g_server ? g_server->Screenshot(path) : "no X server";
        if (error.empty())
          screenshots_.push_back(path);
        else
          errors_ += "screenshot " + name + ": " + error + "\n";
      },
      [this] { return *painted_; });
}

DialogDriver& DialogDriver::Key(const std::string& key, std::function<bool()> ready) {
  return Then(
      [this, key] {
        const std::string caption = "^" + dialog_.GetTitle().utf8_string() + "$";
        RunXdotool({"search", "--sync", "--onlyvisible", "--name", caption, "windowfocus", "--sync",
                    "%1", "key", key});
      },
      std::move(ready));
}

DialogDriver& DialogDriver::Click(wxWindow& control, std::function<bool()> ready) {
  return ClickAt(
      control,
      [&control] {
        const wxSize size = control.GetSize();
        return wxPoint(size.x / 2, size.y / 2);
      },
      std::move(ready));
}

DialogDriver& DialogDriver::ClickAt(wxWindow& control, std::function<wxPoint()> point,
                                    std::function<bool()> ready) {
  return Then(
      [this, &control, point = std::move(point)] {
        const wxPoint at = control.GetScreenPosition() + point();
        RunXdotool({"mousemove", std::to_string(at.x), std::to_string(at.y), "click", "1"});
      },
      std::move(ready));
}

DialogDriver& DialogDriver::Type(const std::string& text, std::function<bool()> ready) {
  return Then(
      [this, text] {
        const std::string caption = "^" + dialog_.GetTitle().utf8_string() + "$";
        RunXdotool({"search", "--sync", "--onlyvisible", "--name", caption, "windowfocus", "--sync",
                    "%1", "type", "--delay", "20", text});
      },
      std::move(ready));
}

bool DialogDriver::XdotoolRunning() {
  std::vector<long> running;
  for (long pid : xdotool_) {
    if (const auto code = platform::WaitForProcess(pid, 0)) {
      if (*code != 0) errors_ += "xdotool ended with " + std::to_string(*code) + "\n";
    } else {
      running.push_back(pid);
    }
  }
  xdotool_ = std::move(running);
  return !xdotool_.empty();
}

void DialogDriver::RunXdotool(std::vector<std::string> arguments) {
  auto started = platform::StartProgram(Xdotool(), arguments, "/");
  if (!started.status) {
    errors_ += "xdotool: " + started.status.message() + "\n";
    return;
  }
  xdotool_.push_back(started.pid);
}

void DialogDriver::WaitForXdotool() {
  for (long pid : xdotool_) {
    const auto code = platform::WaitForProcess(pid, kXdotoolBoundMs);
    if (!code) {
      (void)platform::TerminateProcess(pid, true);
      platform::WaitForProcess(pid, kXdotoolBoundMs);
      errors_ += "xdotool did not end\n";
    } else if (*code != 0) {
      errors_ += "xdotool ended with " + std::to_string(*code) + "\n";
    }
  }
  xdotool_.clear();
}

// What the toolkit's handlers share with a run; they outlive it with the
// window and then do nothing.
struct DialogDriver::State {
  bool running = true;
  std::size_t next = 0;
  wxEventLoopBase* loop = nullptr;  // a modeless run's loop
};

void DialogDriver::WatchPaint() {
  const auto watch_paint = [painted = painted_](wxWindow* window) {
    window->Bind(wxEVT_PAINT, [painted](wxPaintEvent& event) {
      *painted = true;
      event.Skip();
    });
  };
  // A dialog of the updater is on the screen once its header is painted; any
  // other window once one of its children is.
  bool has_header = false;
  for (wxWindow* child : dialog_.GetChildren()) {
    if (auto* header = dynamic_cast<CWxDialogHeader*>(child)) {
      watch_paint(header);
      has_header = true;
    }
  }
  if (has_header) return;
  std::vector<wxWindow*> windows(dialog_.GetChildren().begin(), dialog_.GetChildren().end());
  while (!windows.empty()) {
    wxWindow* window = windows.back();
    windows.pop_back();
    watch_paint(window);
    windows.insert(windows.end(), window->GetChildren().begin(), window->GetChildren().end());
  }
}

// Runs the next step when its time has come; true when every step ran.
bool DialogDriver::Step(State& state, wxIdleEvent& event, bool live) {
  if (!state.running || !live) return false;
  if (state.next >= steps_.size()) return !XdotoolRunning();
  if (!*painted_ || !dialog_.IsShownOnScreen()) {
    event.RequestMore();
    return false;
  }
  DriveStep& step = steps_[state.next];
  // One answer at a time: the one before has ended.
  if (XdotoolRunning() || (step.ready && !step.ready())) {
    event.RequestMore();
    return false;
  }
  ++state.next;
  step.act();
  event.RequestMore();
  return false;
}

int DialogDriver::Run() {
  auto state = std::make_shared<State>();
  WatchPaint();
  dialog_.Bind(wxEVT_IDLE, [this, state](wxIdleEvent& event) {
    event.Skip();
    Step(*state, event, dialog_.IsModal());
  });
  wxTimer bound;
  bound.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    errors_ += "the dialog was still open after the bound\n";
    if (dialog_.IsModal()) dialog_.EndModal(kDialogTimedOut);
  });
  bound.StartOnce(kDialogBoundMs);
  const int result = dialog_.ShowModal();
  bound.Stop();
  state->running = false;
  WaitForXdotool();
  if (state->next < steps_.size()) errors_ += "not every step ran\n";
  return result;
}

bool DialogDriver::RunModeless() {
  auto state = std::make_shared<State>();
  WatchPaint();
  wxGUIEventLoop loop;
  state->loop = &loop;
  dialog_.Bind(wxEVT_IDLE, [this, state](wxIdleEvent& event) {
    event.Skip();
    if (Step(*state, event, state->loop != nullptr) && state->loop) {
      state->loop->Exit();
      state->loop = nullptr;
    } else if (state->loop) {
      event.RequestMore();
    }
  });
  bool timed_out = false;
  wxTimer bound;
  bound.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
    timed_out = true;
    if (state->loop) state->loop->Exit();
    state->loop = nullptr;
  });
  bound.StartOnce(kDialogBoundMs);
  // Painted once more, now that the paint is watched.
  dialog_.Refresh();
  loop.Run();
  bound.Stop();
  state->running = false;
  state->loop = nullptr;
  WaitForXdotool();
  if (timed_out) errors_ += "the steps did not all run within the bound\n";
  if (state->next < steps_.size()) errors_ += "not every step ran\n";
  return !timed_out && state->next >= steps_.size();
}

struct BackgroundAnswer::Bound {
  wxTimer bound;
  wxTimer watch;  // looks for the dialog until it is on the screen
  std::shared_ptr<bool> painted = std::make_shared<bool>(false);
  wxDialog* seen = nullptr;
  wxWindow* header = nullptr;
  bool timed_out = false;
};

BackgroundAnswer::BackgroundAnswer(const std::string& caption, const std::string& key)
    : bound_(new Bound) {
  const wxString title = wxString::FromUTF8(caption);
  bound_->watch.Bind(wxEVT_TIMER, [this, title, caption, key](wxTimerEvent&) {
    wxDialog* dialog = nullptr;
    for (wxWindow* window : wxTopLevelWindows) {
      if (auto* shown = dynamic_cast<wxDialog*>(window);
          shown && shown->IsModal() && shown->GetTitle() == title)
        dialog = shown;
    }
    if (!dialog) return;
    if (dialog != bound_->seen) {
      bound_->seen = dialog;
      *bound_->painted = false;
      for (wxWindow* child : dialog->GetChildren()) {
        if (auto* header = dynamic_cast<CWxDialogHeader*>(child)) {
          header->Bind(wxEVT_PAINT, [painted = bound_->painted](wxPaintEvent& event) {
            *painted = true;
            event.Skip();
          });
          bound_->header = header;
        }
      }
    }
    if (!*bound_->painted || !dialog->IsShownOnScreen()) {
      // It may have been painted before it was seen: once more.
      if (bound_->header) bound_->header->Refresh();
      return;
    }
    bound_->watch.Stop();
    const std::vector<std::string> args = {
        "search", "--sync", "--onlyvisible", "--name", "^" + caption + "$", "windowfocus",
        "--sync", "%1",     "key",           key};
    auto started = platform::StartProgram(Xdotool(), args, "/");
    if (started.status)
      pid_ = started.pid;
    else
      error_ = "xdotool: " + started.status.message();
  });
  bound_->watch.Start(20);
  bound_->bound.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    for (wxWindow* window : wxTopLevelWindows) {
      if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal()) {
        bound_->timed_out = true;
        dialog->EndModal(kDialogTimedOut);
      }
    }
  });
  bound_->bound.StartOnce(kDialogBoundMs);
}

BackgroundAnswer::~BackgroundAnswer() {
  Finish();
  delete bound_;
}

std::string BackgroundAnswer::Finish() {
  bound_->bound.Stop();
  bound_->watch.Stop();
  if (bound_->timed_out) {
    error_ += "the dialog was still open after the bound";
    bound_->timed_out = false;
  }
  if (pid_ > 0) {
    const auto code = platform::WaitForProcess(pid_, kXdotoolBoundMs);
    if (!code) {
      (void)platform::TerminateProcess(pid_, true);
      platform::WaitForProcess(pid_, kXdotoolBoundMs);
      error_ += "xdotool did not end";
    } else if (*code != 0) {
      error_ += "xdotool ended with " + std::to_string(*code);
    }
    pid_ = 0;
  }
  return error_;
}
