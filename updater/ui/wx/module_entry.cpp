// The window module's one exported function (see updater/ui/window_module.h).

#include "updater/ui/wx/wx_window_module.h"

// The module's entry point. Its one object stays until the process ends: the
// toolkit is not taken down while the program may still show a window.
extern "C" IWindowModule* VelmoraWindowModule() {
  static auto* const module = new CWxWindowModule;
  return module;
}
