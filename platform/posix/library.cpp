#include "platform/library.h"

#include <dlfcn.h>

#include <cstring>

#include "platform/system_paths.h"

namespace platform {

std::optional<LibraryHandle> LoadLibrary(const std::string& path, std::string* error) {
  if (path.empty()) {
    if (error) *error = "no library named";
    return std::nullopt;
  }
  const std::string full = FullPath(path);
  void* handle = ::dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) {
      const char* reason = ::dlerror();
      *error = reason ? reason : "cannot load '" + full + "'";
    }
    return std::nullopt;
  }
  return handle;
}

LibraryEntryPoint FindEntryPoint(LibraryHandle library, const std::string& name) {
  if (!library) return nullptr;
  ::dlerror();
  void* symbol = ::dlsym(library, name.c_str());
  if (!symbol) return nullptr;
  // The object pointer dlsym gives is the function's address.
  LibraryEntryPoint function = nullptr;
  static_assert(sizeof function == sizeof symbol);
  std::memcpy(&function, &symbol, sizeof function);
  return function;
}

}  // namespace platform
