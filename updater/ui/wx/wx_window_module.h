#pragma once
// The window module on wxWidgets: starts the toolkit on the update process's
// thread and serves the process queue from the toolkit's event loop.

#include <memory>

#include "updater/process/event_loop.h"
#include "updater/ui/window_module.h"
#include "updater/ui/wx/wx_dialog_service.h"

class CWxWindowModule : public IWindowModule, private IEventLoop {
 public:
  CWxWindowModule() = default;
  ~CWxWindowModule() override;
  CWxWindowModule(const CWxWindowModule&) = delete;
  CWxWindowModule& operator=(const CWxWindowModule&) = delete;

  platform::Status Start() override;
  IEventLoop& Loop() override { return *this; }
  IDialogService& Dialogs() override { return dialogs_; }
  std::optional<TypedCredentials> AskProxyCredentials() override;
  void ShowAbout() override { dialogs_.ShowAbout(); }
  bool CloseApplication(const std::string& title, const std::string& executable_path) override;
  std::unique_ptr<IWizardView> CreateWizard(const WizardFrame& frame,
                                            IWizardActions& actions) override;
  std::unique_ptr<ITrayView> CreateTray(const TrayFrame& frame, ITrayActions& actions) override;

 private:
  bool Serve(CMessageQueue& queue, const std::function<bool()>& pump) override;

  bool started_ = false;
  CWxDialogService dialogs_;
  // The toolkit keeps pointers to the arguments it was started with.
  int argc_ = 1;
  char program_name_[16] = "Velmora Updater";
  char* argv_[2] = {program_name_, nullptr};
};
