#pragma once
// Paths as the code under test writes them: the tests spell expected paths
// with slashes and compare them in the platform's own form.

#include <string>
#include <string_view>

#include "platform/file_system.h"

inline std::string Native(std::string_view path) { return platform::NormalizeSeparators(path); }
