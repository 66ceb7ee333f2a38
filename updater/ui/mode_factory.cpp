#include "updater/ui/mode_factory.h"

#include "updater/ui/mode_hidden.h"

std::unique_ptr<CMode> CModeFactory::CreateMode(const std::string& name, IModeHost& host,
                                                TaskId current_task) {
  if (name == "hidden") return std::make_unique<CModeHidden>(host, current_task);
  // The windows of these modes come with the user-interface work; until then
  // they run without a user like the hidden mode.
  if (name == "full" || name == "silent" || name == "verysilent")
    return std::make_unique<CModeHidden>(host, current_task);
  return nullptr;
}
