#pragma once
// Registering a component: its library is loaded and its entry point
// "DllRegisterServer" called without arguments; a non-negative result is
// success. A library without the entry point is a failed registration.
// Unregistering calls "DllUnregisterServer" the same way. The library stays
// loaded.

#include <string>

bool RegisterComponent(const std::string& path);
bool UnregisterComponent(const std::string& path);
