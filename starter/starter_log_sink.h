#pragma once
// Where the starter's log lines go: one call per line, without a line end.

#include <functional>
#include <string>

using StarterLogSink = std::function<void(const std::string& line)>;
