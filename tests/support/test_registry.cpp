#include "tests/support/test_registry.h"

// Everything goes to the platform's store.

platform::RegistryDepthRead TestRegistry::QueryExistingDepth(platform::RegistryRoot root,
                                                             std::string_view subkey) {
  return store_->QueryExistingDepth(root, subkey);
}

platform::RegistryKeyRead TestRegistry::QueryKey(platform::RegistryRoot root,
                                                 std::string_view subkey) {
  return store_->QueryKey(root, subkey);
}

platform::Status TestRegistry::CreateKey(platform::RegistryRoot root, std::string_view subkey) {
  return store_->CreateKey(root, subkey);
}

platform::Status TestRegistry::DeleteKey(platform::RegistryRoot root, std::string_view subkey) {
  return store_->DeleteKey(root, subkey);
}

platform::RegistryValueRead TestRegistry::QueryValue(platform::RegistryRoot root,
                                                     std::string_view subkey,
                                                     std::string_view name) {
  return store_->QueryValue(root, subkey, name);
}

platform::Status TestRegistry::SetValue(platform::RegistryRoot root, std::string_view subkey,
                                        std::string_view name,
                                        const platform::RegistryValue& value) {
  return store_->SetValue(root, subkey, name, value);
}

platform::Status TestRegistry::DeleteValue(platform::RegistryRoot root, std::string_view subkey,
                                           std::string_view name) {
  return store_->DeleteValue(root, subkey, name);
}
