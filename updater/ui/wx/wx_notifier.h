#pragma once
// The notifier popup on wxWidgets: a borderless frame shaped by its skin's key
// colour, on top of the other windows and out of the task bar, that never
// takes the focus. It draws the skin, the title and the rich-text
// description, and reports the mouse and its two timers to its controller.

#include <wx/bitmap.h>
#include <wx/timer.h>

#include <string>
#include <vector>

#include "updater/ui/notifier_view.h"

class CNotifierFrame;
class CRichTextView;

class CWxNotifier : public INotifierWindow {
 public:
  // The frame is made hidden; actions outlives the popup.
  CWxNotifier(const NotifierLook& look, INotifierActions& actions);
  ~CWxNotifier() override;
  CWxNotifier(const CWxNotifier&) = delete;
  CWxNotifier& operator=(const CWxNotifier&) = delete;

  // INotifierView
  void SetTexts(const std::string& title, const std::string& description) override;
  void Show() override;
  void Hide() override;
  bool IsShown() const override;
  bool CanSetTransparent() const override;
  void SetOpacity(int opacity) override;
  NotifierSize Size() const override;
  RichRect WorkArea() const override;
  void MoveTo(RichPoint top_left) override;

  // INotifierTimers
  void StartTimer(NotifierTimer timer, int interval_ms) override;
  void StopTimer(NotifierTimer timer) override;

  // For tests: the frame, the title's lines as last drawn, the opacity last
  // set, and whether a timer runs.
  wxWindow& Window();
  wxWindow& Description();
  const std::vector<std::string>& TitleLines() const { return title_lines_; }
  int Opacity() const { return opacity_; }
  bool TimerRunning(NotifierTimer timer) const;

 private:
  friend class CNotifierFrame;
  void Paint(wxDC& dc);
  void MouseMoved(wxPoint point);
  void MouseLeft();
  wxTimer& TimerOf(NotifierTimer timer);

  NotifierLook look_;
  INotifierActions& actions_;
  wxBitmap skin_;
  CNotifierFrame* frame_;  // the toolkit deletes it once its events are done
  CRichTextView* description_;
  std::string title_;
  std::vector<std::string> title_lines_;
  wxTimer fade_timer_;
  wxTimer display_timer_;
  int opacity_ = 255;
  bool hovered_ = false;
  bool over_close_ = false;
};
