#include <algorithm>
#include <random>
#include <set>
#include <vector>

#include "tests/support/test_registry.h"

namespace {

using platform::RegistryRoot;
using platform::Status;

constexpr const char* kTestsKey = "Software\\Velmora Tests";

constexpr RegistryRoot kRoots[] = {RegistryRoot::kClassesRoot, RegistryRoot::kCurrentUser,
                                   RegistryRoot::kLocalMachine, RegistryRoot::kUsers,
                                   RegistryRoot::kCurrentConfig};

std::size_t ComponentsOf(std::string_view path) {
  return path.empty() ? 0
                      : 1 + static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\'));
}

// The system's registry below HKEY_CURRENT_USER\Software\Velmora Tests\<random
// name>, where each root key is the subkey of its name. The keys it creates are
// remembered and removed, deepest first, when it ends.
class PrivateKeyRegistry : public platform::IRegistry {
 public:
  PrivateKeyRegistry() : system_(platform::SystemRegistry()) {
    std::random_device random;
    std::uniform_int_distribution<unsigned> digit(0, 35);
    std::string name;
    for (int i = 0; i < 12; ++i) name += "0123456789abcdefghijklmnopqrstuvwxyz"[digit(random)];
    base_ = std::string(kTestsKey) + "\\" + name;
    for (RegistryRoot root : kRoots) Remember(Map(root, ""));
    for (RegistryRoot root : kRoots) system_.CreateKey(kHome, Map(root, ""));
  }

  ~PrivateKeyRegistry() override {
    std::vector<std::string> keys(created_.begin(), created_.end());
    std::sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
      return ComponentsOf(a) > ComponentsOf(b);
    });
    for (const std::string& key : keys) system_.DeleteKey(kHome, key);
    system_.DeleteKey(kHome, base_);
    system_.DeleteKey(kHome, kTestsKey);  // kept while another test's key is in it
  }

  platform::RegistryDepthRead QueryExistingDepth(RegistryRoot root,
                                                 std::string_view subkey) override {
    platform::RegistryDepthRead read;
    if (!Valid(subkey, &read.status)) return read;
    read = system_.QueryExistingDepth(kHome, Map(root, subkey));
    const std::size_t own = ComponentsOf(Map(root, ""));
    read.depth = read.depth > own ? read.depth - own : 0;
    return read;
  }

  platform::RegistryKeyRead QueryKey(RegistryRoot root, std::string_view subkey) override {
    platform::RegistryKeyRead read;
    if (!Valid(subkey, &read.status)) return read;
    return system_.QueryKey(kHome, Map(root, subkey));
  }

  Status CreateKey(RegistryRoot root, std::string_view subkey) override {
    Status status = Status::Ok();
    if (!Valid(subkey, &status)) return status;
    const std::vector<std::string> parts = *platform::SplitRegistryPath(subkey);
    std::string path = Map(root, "");
    for (const std::string& part : parts) {
      path += "\\" + part;
      Remember(path);
    }
    return system_.CreateKey(kHome, Map(root, subkey));
  }

  Status DeleteKey(RegistryRoot root, std::string_view subkey) override {
    Status status = Status::Ok();
    if (!Valid(subkey, &status)) return status;
    if (subkey.empty()) return Status::Fail("a root key cannot be removed");
    return system_.DeleteKey(kHome, Map(root, subkey));
  }

  platform::RegistryValueRead QueryValue(RegistryRoot root, std::string_view subkey,
                                         std::string_view name) override {
    platform::RegistryValueRead read;
    if (!Valid(subkey, &read.status)) return read;
    return system_.QueryValue(kHome, Map(root, subkey), name);
  }

  Status SetValue(RegistryRoot root, std::string_view subkey, std::string_view name,
                  const platform::RegistryValue& value) override {
    Status status = Status::Ok();
    if (!Valid(subkey, &status)) return status;
    return system_.SetValue(kHome, Map(root, subkey), name, value);
  }

  Status DeleteValue(RegistryRoot root, std::string_view subkey, std::string_view name) override {
    Status status = Status::Ok();
    if (!Valid(subkey, &status)) return status;
    return system_.DeleteValue(kHome, Map(root, subkey), name);
  }

 private:
  static constexpr RegistryRoot kHome = RegistryRoot::kCurrentUser;

  // The private key that stands for subkey of root.
  std::string Map(RegistryRoot root, std::string_view subkey) const {
    std::string path = base_ + "\\" + platform::RegistryRootName(root);
    if (!subkey.empty()) path += "\\" + std::string(subkey);
    return path;
  }

  // The refusals of every store, before the path is moved below the private key.
  static bool Valid(std::string_view subkey, Status* status) {
    std::string error;
    if (platform::SplitRegistryPath(subkey, &error)) return true;
    *status = Status::Fail(error);
    return false;
  }

  void Remember(const std::string& path) { created_.insert(platform::FoldRegistryName(path)); }

  platform::IRegistry& system_;
  std::string base_;
  std::set<std::string> created_;
};

}  // namespace

TestRegistry::TestRegistry(const std::string&) : store_(std::make_unique<PrivateKeyRegistry>()) {}
TestRegistry::~TestRegistry() = default;

std::string TestRegistry::StoreFile(platform::RegistryRoot) const { return ""; }
