#pragma once
// Sets and removes environment variables of the test process (the process's
// own environment, as the code under test reads it).

#include <string>

namespace test_support {

void SetEnvironmentVariable(const std::string& name, const std::string& value);
void RemoveEnvironmentVariable(const std::string& name);

}  // namespace test_support
