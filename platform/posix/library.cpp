#include "platform/library.h"

#include <dlfcn.h>

#include "platform/system_paths.h"

namespace platform {

std::optional<LibraryHandle> LoadSharedLibrary(const std::string& path, std::string* error) {
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

void* FindSymbol(LibraryHandle library, const std::string& name) {
  if (!library) return nullptr;
  ::dlerror();
  return ::dlsym(library, name.c_str());
}

LibraryEntryPoint FindEntryPoint(LibraryHandle library, const std::string& name) {
  // The object pointer dlsym gives is the function's address.
  return FindFunction<LibraryEntryPoint>(library, name);
}

std::string SharedLibraryFileName(const std::string& name) { return "lib" + name + ".so"; }

}  // namespace platform
