#pragma once
// The windows of the program live in a module of their own, loaded only when a
// mode with windows starts, so that a run without windows never loads the
// toolkit and needs no display. The module exports one function, named
// kWindowModuleEntry, that gives the module's one IWindowModule. The module
// and the program are built together by the same compiler; the module uses
// the program's own objects (log, language texts, queue) and not copies.

#include <memory>
#include <optional>
#include <string>

#include "platform/status.h"
#include "updater/core/dialog_service.h"
#include "updater/process/event_loop.h"
#include "updater/ui/tray_view.h"
#include "updater/ui/wizard_view.h"

// A user name and password that a person typed.
struct TypedCredentials {
  std::string user_name;
  std::string password;
};

class IWindowModule {
 public:
  virtual ~IWindowModule() = default;
  // Starts the toolkit on the calling thread, which becomes the only thread
  // that may touch a window; an error saying why when it cannot (no display
  // server, for one). Starting twice does nothing the second time.
  virtual platform::Status Start() = 0;
  // The toolkit's loop, for a started module.
  virtual IEventLoop& Loop() = 0;
  // The dialogs with windows, for a started module; shown on the thread that
  // started it.
  virtual IDialogService& Dialogs() = 0;
  // Shows the proxy-authentication dialog and waits for the person; what was
  // typed on OK (kept for this run, and in settings.ini when asked to), or
  // nullopt on Cancel, Escape or the close box.
  virtual std::optional<TypedCredentials> AskProxyCredentials() = 0;
  // The About box, modal.
  virtual void ShowAbout() = 0;
  // The close-application countdown for the program at executable_path
  // (title: the application's name); true when the program is gone (closed
  // by itself or ended), false when the person chose Cancel.
  virtual bool CloseApplication(const std::string& title, const std::string& executable_path) = 0;

  // The full mode's wizard, created and shown at once as a top-level window;
  // it reports to actions, which outlives it. Destroying the view closes the
  // window. nullptr when the module has no wizard.
  virtual std::unique_ptr<IWizardView> CreateWizard(const WizardFrame& frame,
                                                    IWizardActions& actions) = 0;

  // The silent modes' icon in the desktop's notification area, shown at once;
  // it reports to actions, which outlives it. Destroying the view removes the
  // icon. nullptr when the module has no tray view.
  virtual std::unique_ptr<ITrayView> CreateTray(const TrayFrame& frame, ITrayActions& actions) = 0;
};

// The module's base name (platform::SharedLibraryFileName gives the file) and
// its entry point.
inline constexpr char kWindowModuleName[] = "velmora_windows";
inline constexpr char kWindowModuleEntry[] = "VelmoraWindowModule";
using WindowModuleEntry = IWindowModule* (*)();
