#include "updater/ui/wx/wx_close_application_dialog.h"

#include <wx/statline.h>

#include "updater/ui/dialog_results.h"
#include "updater/ui/wx/wx_dialog_header.h"
#include "updater/ui/wx/wx_dialog_parts.h"

CWxCloseApplicationDialog::CWxCloseApplicationDialog(CCloseApplicationController& controller,
                                                     int tick_ms)
    : wxDialog(nullptr, wxID_ANY, wxString::FromUTF8(controller.Caption()), wxDefaultPosition,
               wxDefaultSize, wxCAPTION),
      controller_(controller),
      tick_ms_(tick_ms),
      timer_(this) {
  SetClientSize(kDialogClientWidth, 200);
  header_ = new CWxDialogHeader(this, HeaderArt::kCloseApplication, controller.Caption());
  PlaceAt(*header_, {0, 0, kDialogClientWidth, kDialogHeaderHeight});
  auto* separator = new wxStaticLine(this, wxID_ANY);
  PlaceAt(*separator, {0, kDialogHeaderHeight, kDialogClientWidth, 2});
  explanation_ = new wxStaticText(this, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                  wxST_NO_AUTORESIZE);
  progress_ = new wxGauge(this, wxID_ANY, controller.ProgressRange());
  end_now_ = new wxButton(this, wxID_ANY, PlainLabel(controller.EndNowLabel()));
  cancel_ = new wxButton(this, wxID_ANY, PlainLabel(controller.CancelLabel()));
  end_now_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndWith(controller_.EndNow()); });
  cancel_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndWith(controller_.Cancel()); });
  Bind(wxEVT_TIMER, &CWxCloseApplicationDialog::OnTick, this, timer_.GetId());
  // Escape cancels; there is no close box, but a window manager's close
  // request cancels as well.
  OnEscapeOrClose(*this, [this] { EndWith(controller_.Cancel()); });
  LayOut();
  end_now_->SetDefault();
  end_now_->SetFocus();
  CentreOnScreen();
}

CWxCloseApplicationDialog::~CWxCloseApplicationDialog() { timer_.Stop(); }

void CWxCloseApplicationDialog::LayOut() {
  CloseApplicationFrame frame;
  frame.message.client_width = kDialogClientWidth;
  frame.message.explanation = {kDialogMargin, kDialogTextTop,
                               kDialogClientWidth - 2 * kDialogMargin, 0};
  const wxSize cancel_size = ButtonSize(*cancel_);
  const wxSize end_size = ButtonSize(*end_now_);
  const int height = std::max(cancel_size.y, end_size.y);
  const int cancel_x = kDialogClientWidth - kDialogMargin - cancel_size.x;
  frame.message.buttons = {{cancel_x - 8 - end_size.x, 0, end_size.x, height},
                           {cancel_x, 0, cancel_size.x, height}};
  frame.progress = {kDialogMargin, 0, kDialogClientWidth - 2 * kDialogMargin, height};
  const CloseApplicationLayout layout =
      LayoutCloseApplicationDialog(frame, controller_.Explanation(), MetricsOf(*explanation_));
  explanation_->SetLabelText(wxString::FromUTF8(layout.message.text.Joined()));
  PlaceAt(*explanation_, layout.message.explanation);
  PlaceAt(*progress_, layout.progress);
  PlaceAt(*end_now_, layout.message.buttons[0]);
  PlaceAt(*cancel_, layout.message.buttons[1]);
  progress_->SetValue(controller_.ProgressPosition());
  SetClientSize(kDialogClientWidth, layout.message.client_height);
}

int CWxCloseApplicationDialog::ShowModal() {
  controller_.Start();
  progress_->SetRange(controller_.ProgressRange());
  progress_->SetValue(0);
  timer_.Start(tick_ms_);
  return wxDialog::ShowModal();
}

void CWxCloseApplicationDialog::OnTick(wxTimerEvent&) {
  if (const auto result = controller_.Tick()) {
    EndWith(*result);
    return;
  }
  LayOut();
}

void CWxCloseApplicationDialog::EndWith(int result) {
  timer_.Stop();
  if (IsModal()) EndModal(result);
}
