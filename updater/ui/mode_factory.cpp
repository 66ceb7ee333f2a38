#include "updater/ui/mode_factory.h"

#include <utility>

#include "updater/ui/mode_full.h"
#include "updater/ui/mode_hidden.h"
#include "updater/ui/mode_silent.h"
#include "updater/ui/window_module.h"

CModeFactory::CModeFactory(std::function<IWindowModule*()> windows)
    : windows_(std::move(windows)) {}

std::unique_ptr<CMode> CModeFactory::CreateMode(const std::string& name, IModeHost& host,
                                                TaskId current_task) {
  if (name == "hidden") return std::make_unique<CModeHidden>(host, current_task);
  // Without windows (no module, no display) every mode lets the run go on by
  // itself, answering like the hidden mode.
  IWindowModule* module = windows_ ? windows_() : nullptr;
  if (name == "full") {
    if (!module) return std::make_unique<CModeHidden>(host, current_task);
    return std::make_unique<CModeFull>(host, current_task, *module);
  }
  if (name == "silent" || name == "verysilent") {
    if (!module) return std::make_unique<CModeHidden>(host, current_task);
    TrayViewFactory tray = [module](const TrayFrame& frame, ITrayActions& actions) {
      return module->CreateTray(frame, actions);
    };
    return std::make_unique<CModeSilent>(host, current_task, name, *module, std::move(tray));
  }
  return nullptr;
}
