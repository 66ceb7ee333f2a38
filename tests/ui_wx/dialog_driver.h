#pragma once
// Drives a modal dialog (or a modeless window) in a window test: the toolkit runs on a private X
// server; the dialog is shown, and once it is on the screen the steps run one
// after another from the toolkit's loop, each when its condition holds (a
// screenshot, a key or a click sent by xdotool as a person would). Every wait
// is bounded: a dialog that is still open after the bound ends with
// kDialogTimedOut.

#include <wx/dialog.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

inline constexpr int kDialogTimedOut = -100;

// Starts a private X server and the toolkit on it, once per program; false
// with the reason when either cannot start.
bool StartWindowTests(std::string* why);

class XvfbFixture;
// The private X server of the window tests, once started.
const XvfbFixture* WindowTestServer();

struct DriveStep {
  std::function<bool()> ready;  // empty: at once
  std::function<void()> act;
};

class DialogDriver {
 public:
  explicit DialogDriver(wxDialog& dialog);
  ~DialogDriver();

  // Steps after the dialog is first painted.
  DialogDriver& Then(std::function<void()> act, std::function<bool()> ready = {});
  // A screenshot of the screen into ScreenshotFolder()/<name>.png, once the
  // condition holds and the dialog has been painted again.
  DialogDriver& Screenshot(const std::string& name, std::function<bool()> ready = {});
  // xdotool, in the background: a key to the dialog's window (found by its
  // caption), a click at the middle of a control, typed text.
  DialogDriver& Key(const std::string& key, std::function<bool()> ready = {});
  DialogDriver& Click(wxWindow& control, std::function<bool()> ready = {});
  // A click at a point of a control, in the control's coordinates, asked for
  // when the step runs (after the control has laid itself out).
  DialogDriver& ClickAt(wxWindow& control, std::function<wxPoint()> point,
                        std::function<bool()> ready = {});
  DialogDriver& Type(const std::string& text, std::function<bool()> ready = {});

  // Shows the dialog modally and runs the steps; its result.
  int Run();
  // For a modeless window already shown: runs the steps from a loop of its
  // own until every step ran and xdotool ended; false (with an error) when
  // that took longer than the bound. The window stays.
  bool RunModeless();

  // The screenshots taken, and the errors met (empty when none).
  const std::vector<std::string>& Screenshots() const { return screenshots_; }
  const std::string& Errors() const { return errors_; }

 private:
  struct State;
  void WatchPaint();
  bool Step(State& state, wxIdleEvent& event, bool live);
  void RunXdotool(std::vector<std::string> arguments);
  void WaitForXdotool();
  bool XdotoolRunning();

  wxDialog& dialog_;
  std::vector<DriveStep> steps_;
  std::vector<std::string> screenshots_;
  std::string errors_;
  std::vector<long> xdotool_;
  // Set by every paint of the watched windows.
  std::shared_ptr<bool> painted_ = std::make_shared<bool>(false);
};

// For dialogs that a call makes and shows itself (the dialog service): once
// the modal dialog with this caption is painted on the screen, xdotool answers
// it with a key; every modal dialog still open after the bound ends with
// kDialogTimedOut, and Finish reports it.
class BackgroundAnswer {
 public:
  BackgroundAnswer(const std::string& caption, const std::string& key);
  ~BackgroundAnswer();
  // Waits (bounded) for xdotool; an error text, empty when it answered.
  std::string Finish();

 private:
  long pid_ = 0;
  std::string error_;
  struct Bound;
  Bound* bound_;
};
