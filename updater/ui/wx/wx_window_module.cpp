#include "updater/ui/wx/wx_window_module.h"

#include <wx/app.h>
#include <wx/dialog.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/timer.h>

#include <algorithm>
#include <limits>

#include "updater/core/updater_settings.h"
#include "updater/process/message_queue.h"
#include "updater/ui/close_application_controller.h"
#include "updater/ui/dialog_results.h"
#include "updater/ui/open_dialogs.h"
#include "updater/ui/wx/wx_tray.h"
#include "updater/ui/wx/wx_wizard.h"

namespace {

// The toolkit's application object: no command line of its own (the program
// has read it), no window of its own.
class CVelmoraWxApp : public wxApp {
 public:
  bool OnInit() override {
    // Dialogs come and go during a run; the last one closing does not end it.
    SetExitOnFrameDelete(false);
    return true;
  }
};

// What a wake-up needs while the loop serves; a wake-up that arrives after the
// loop stopped finds nothing and does nothing.
struct ServeState {
  std::function<void()> pump_now;
};

// Ends every modal dialog that is open with its cancel answer.
void CloseModalDialogs() {
  for (wxWindow* window : wxTopLevelWindows)
    if (auto* dialog = dynamic_cast<wxDialog*>(window); dialog && dialog->IsModal())
      dialog->EndModal(kDialogCancel);
}

}  // namespace

CWxWindowModule::~CWxWindowModule() {
  if (started_) wxEntryCleanup();
}

platform::Status CWxWindowModule::Start() {
  if (started_) return platform::Status::Ok();
  wxApp::SetInstance(new CVelmoraWxApp);
  if (!wxEntryStart(argc_, argv_)) return platform::Status::Fail("no display can be opened");
  if (!wxTheApp || !wxTheApp->CallOnInit()) {
    wxEntryCleanup();
    return platform::Status::Fail("the toolkit's application does not start");
  }
  // The settings may name icon and logo files in any common format.
  wxInitAllImageHandlers();
  started_ = true;
  return platform::Status::Ok();
}

bool CWxWindowModule::Serve(CMessageQueue& queue, const std::function<bool()>& pump) {
  if (!started_ || !wxTheApp) return false;
  wxTimer timer;
  auto state = std::make_shared<ServeState>();
  bool pumping = false;
  bool again = false;
  bool ended = false;
  state->pump_now = [&] {
    if (ended) return;
    if (pumping) {
      // A dialog's nested loop: the outer call goes on once the dialog closes.
      // A cancel, a mode switch or the end of the run does not wait for the
      // person: the dialog closes with its cancel answer (never yes), then
      // the message is handled.
      again = true;
      if (queue.HasReady(ClosesOpenDialogs)) CloseModalDialogs();
      return;
    }
    pumping = true;
    bool going_on = true;
    do {
      again = false;
      going_on = pump();
    } while (going_on && again);
    pumping = false;
    if (!going_on) {
      ended = true;
      timer.Stop();
      wxTheApp->ExitMainLoop();
      return;
    }
    if (const auto due = queue.NextTimerDueIn()) {
      const auto ms = std::clamp<std::int64_t>(*due, 1, std::numeric_limits<int>::max());
      timer.StartOnce(static_cast<int>(ms));
    } else {
      timer.Stop();
    }
  };
  const std::weak_ptr<ServeState> weak = state;
  const auto call = [weak] {
    if (const auto alive = weak.lock()) alive->pump_now();
  };
  timer.Bind(wxEVT_TIMER, [call](wxTimerEvent&) { call(); });
  // Posts come from every thread; the toolkit queues the call for this one.
  queue.SetWakeUp([call] {
    if (wxTheApp) wxTheApp->CallAfter(call);
  });
  wxTheApp->CallAfter(call);
  wxTheApp->MainLoop();
  queue.SetWakeUp(nullptr);
  timer.Stop();
  return ended;
}

std::optional<TypedCredentials> CWxWindowModule::AskProxyCredentials() {
  // OK keeps what was typed in the settings of the run (and in settings.ini
  // when the person asked for it); the answer carries the same two values.
  if (!dialogs_.AskProxyCredentials()) return std::nullopt;
  const SettingsValues& values = CUpdaterSettings::Instance().Values();
  return TypedCredentials{values.proxy_username, values.proxy_password};
}

bool CWxWindowModule::CloseApplication(const std::string& title,
                                       const std::string& executable_path) {
  CSystemCloseApplicationProcesses processes;
  return dialogs_.CloseApplication(title, executable_path, processes);
}

std::unique_ptr<IWizardView> CWxWindowModule::CreateWizard(const WizardFrame& frame,
                                                           IWizardActions& actions) {
  if (!started_) return nullptr;
  return std::make_unique<CWxWizard>(frame, actions);
}

std::unique_ptr<ITrayView> CWxWindowModule::CreateTray(const TrayFrame& frame,
                                                       ITrayActions& actions) {
  if (!started_) return nullptr;
  return std::make_unique<CWxTray>(frame, actions);
}
