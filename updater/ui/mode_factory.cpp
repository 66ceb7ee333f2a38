#include "updater/ui/mode_factory.h"

#include <utility>

#include "updater/ui/mode_hidden.h"
#include "updater/ui/mode_silent.h"
#include "updater/ui/mode_windows_hidden.h"
#include "updater/ui/window_module.h"

CModeFactory::CModeFactory(std::function<IWindowModule*()> windows)
    : windows_(std::move(windows)) {}

std::unique_ptr<CMode> CModeFactory::CreateMode(const std::string& name, IModeHost& host,
                                                TaskId current_task) {
  if (name == "hidden") return std::make_unique<CModeHidden>(host, current_task);
  if (name == "silent" || name == "verysilent") {
    // Without windows (no module, no display) the run still goes on by
    // itself, answering like the hidden mode.
    IWindowModule* module = windows_ ? windows_() : nullptr;
    if (!module) return std::make_unique<CModeHidden>(host, current_task);
    TrayViewFactory tray = [module](const TrayFrame& frame, ITrayActions& actions) {
      return module->CreateTray(frame, actions);
    };
    return std::make_unique<CModeSilent>(host, current_task, name, *module, std::move(tray));
  }
  if (name == "full") {
    // The wizard and the tray are still to come: until then these modes answer
    // like the hidden mode, inside the toolkit's loop when there are windows.
    if (IWindowModule* module = windows_ ? windows_() : nullptr)
      return std::make_unique<CModeWindowsHidden>(host, current_task, *module);
    return std::make_unique<CModeHidden>(host, current_task);
  }
  return nullptr;
}
