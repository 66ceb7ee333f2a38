#pragma once
// A registry of the test's own behind the platform's registry interface: empty
// when made, gone with the object. On Linux it is the file store in a folder of
// the test; on Windows it is the system's registry below a private key of the
// current user, one subkey there for each root key, so that a test never
// touches the machine's own keys.

#include <memory>
#include <string>
#include <string_view>

#include "platform/registry.h"

class TestRegistry : public platform::IRegistry {
 public:
  // folder: where the Linux store keeps its files; Windows has no use for it.
  explicit TestRegistry(const std::string& folder);
  ~TestRegistry() override;
  TestRegistry(const TestRegistry&) = delete;
  TestRegistry& operator=(const TestRegistry&) = delete;

  // The file that holds the keys of a root; "" where the store is not made of
  // files (Windows).
  std::string StoreFile(platform::RegistryRoot root) const;

  platform::RegistryDepthRead QueryExistingDepth(platform::RegistryRoot root,
                                                 std::string_view subkey) override;
  platform::RegistryKeyRead QueryKey(platform::RegistryRoot root, std::string_view subkey) override;
  platform::Status CreateKey(platform::RegistryRoot root, std::string_view subkey) override;
  platform::Status DeleteKey(platform::RegistryRoot root, std::string_view subkey) override;
  platform::RegistryValueRead QueryValue(platform::RegistryRoot root, std::string_view subkey,
                                         std::string_view name) override;
  platform::Status SetValue(platform::RegistryRoot root, std::string_view subkey,
                            std::string_view name, const platform::RegistryValue& value) override;
  platform::Status DeleteValue(platform::RegistryRoot root, std::string_view subkey,
                               std::string_view name) override;

 private:
  // The platform's store (test_registry_posix.cpp, test_registry_win32.cpp).
  std::unique_ptr<platform::IRegistry> store_;
};
