#pragma once
// Shared libraries: loading one and finding a function it exports. A loaded
// library stays loaded until the process ends.

#include <cstdint>
#include <optional>
#include <string>

namespace platform {

using LibraryHandle = void*;
// An exported function without arguments that returns a 32-bit result (the
// form of the registration entry points of components).
using LibraryEntryPoint = std::int32_t (*)();

// Loads the library at path (made absolute first, so that no search path is
// consulted) with all its symbols resolved; nullopt with the reason in error
// when it cannot be loaded.
std::optional<LibraryHandle> LoadLibrary(const std::string& path, std::string* error = nullptr);
// The exported function of that name, or nullptr when the library has none.
LibraryEntryPoint FindEntryPoint(LibraryHandle library, const std::string& name);

}  // namespace platform
