#include "platform/posix/file_registry.h"
#include "tests/support/test_registry.h"

// The file store itself, in the folder the test gives.
TestRegistry::TestRegistry(const std::string& folder)
    : store_(std::make_unique<platform::FileRegistry>(folder)) {}
TestRegistry::~TestRegistry() = default;

std::string TestRegistry::StoreFile(platform::RegistryRoot root) const {
  return static_cast<const platform::FileRegistry&>(*store_).FilePath(root);
}
