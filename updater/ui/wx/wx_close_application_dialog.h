#pragma once
// The close-application dialog: the countdown of CCloseApplicationController
// with a toolkit timer, a progress bar, End now and Cancel. It has no close
// box; Escape cancels (2).

#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/gauge.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "updater/ui/close_application_controller.h"

class CWxDialogHeader;

class CWxCloseApplicationDialog : public wxDialog {
 public:
  // tick_ms: the timer's period (a second; tests shorten it).
  CWxCloseApplicationDialog(CCloseApplicationController& controller, int tick_ms = 1000);
  ~CWxCloseApplicationDialog() override;

  int ShowModal() override;

  wxButton& EndNowButton() { return *end_now_; }
  wxButton& CancelButton() { return *cancel_; }
  wxGauge& Progress() { return *progress_; }
  wxStaticText& Explanation() { return *explanation_; }

 private:
  void LayOut();
  void OnTick(wxTimerEvent& event);
  void EndWith(int result);

  CCloseApplicationController& controller_;
  int tick_ms_;
  wxTimer timer_;
  CWxDialogHeader* header_;
  wxStaticText* explanation_;
  wxGauge* progress_;
  wxButton* end_now_;
  wxButton* cancel_;
};
