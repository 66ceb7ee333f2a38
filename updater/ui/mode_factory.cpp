#include "updater/ui/mode_factory.h"

#include <utility>

#include "updater/ui/mode_full.h"
#include "updater/ui/mode_hidden.h"
#include "updater/ui/mode_windows_hidden.h"
#include "updater/ui/window_module.h"

CModeFactory::CModeFactory(std::function<IWindowModule*()> windows)
    : windows_(std::move(windows)) {}

std::unique_ptr<CMode> CModeFactory::CreateMode(const std::string& name, IModeHost& host,
                                                TaskId current_task) {
  if (name == "hidden") return std::make_unique<CModeHidden>(host, current_task);
  if (name == "full") {
    if (IWindowModule* module = windows_ ? windows_() : nullptr)
      return std::make_unique<CModeFull>(host, current_task, *module);
    return std::make_unique<CModeHidden>(host, current_task);
  }
  if (name == "silent" || name == "verysilent") {
    // The tray is still to come: until then these modes answer like the hidden
    // mode, inside the toolkit's loop when there are windows.
    if (IWindowModule* module = windows_ ? windows_() : nullptr)
      return std::make_unique<CModeWindowsHidden>(host, current_task, *module);
    return std::make_unique<CModeHidden>(host, current_task);
  }
  return nullptr;
}
