// The system's registry behind IRegistry.

#include "platform/registry.h"

#include <cstring>

#include "platform/win32/wide.h"

namespace platform {
namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::kUsers:
      return HKEY_USERS;
    case RegistryRoot::kCurrentConfig:
      return HKEY_CURRENT_CONFIG;
  }
  return HKEY_CURRENT_USER;
}

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) ::RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY* out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

std::string KeyName(RegistryRoot root, std::string_view subkey) {
  std::string name = RegistryRootName(root);
  if (!subkey.empty()) name += "\\" + std::string(subkey);
  return name;
}

Status Refused(std::string_view subkey, const std::string& error) {
  return Status::Fail("registry key '" + std::string(subkey) + "' refused: " + error);
}

Status Fail(const std::string& what, RegistryRoot root, std::string_view subkey, LONG error) {
  return Status::Fail(what + " '" + KeyName(root, subkey) +
                      "': " + ErrorText(static_cast<DWORD>(error)));
}

bool Missing(LONG error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// The data as the system stores it: texts in UTF-16 with their NULs.
std::string ToSystemData(const RegistryValue& value) {
  switch (value.type) {
    case RegistryType::kString:
    case RegistryType::kExpandString:
    case RegistryType::kMultiString: {
      std::wstring wide = Widen(value.data);
      wide.push_back(L'\0');  // the string's end; a multi-string ends with an empty text
      if (value.type == RegistryType::kMultiString && !value.data.empty() &&
          value.data.back() != '\0')
        wide.push_back(L'\0');
      if (value.type == RegistryType::kMultiString && value.data.empty()) wide.push_back(L'\0');
      return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
    }
    default:
      return value.data;
  }
}

RegistryValue FromSystemData(DWORD type, std::string bytes) {
  RegistryValue value;
  value.type = static_cast<RegistryType>(type);
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
    if (type == REG_MULTI_SZ) {
      // Each text keeps its NUL; the closing empty text goes.
      while (wide.size() >= 2 && wide[wide.size() - 1] == L'\0' && wide[wide.size() - 2] == L'\0')
        wide.pop_back();
      if (wide.size() == 1 && wide[0] == L'\0') wide.clear();
    } else {
      const std::size_t end = wide.find(L'\0');
      if (end != std::wstring::npos) wide.resize(end);
    }
    value.data = Narrow(wide);
  } else {
    value.data = std::move(bytes);
  }
  return value;
}

class SystemRegistryImpl : public IRegistry {
 public:
  RegistryKeyRead QueryKey(RegistryRoot root, std::string_view subkey) override {
    RegistryKeyRead read;
    std::string error;
    if (!SplitRegistryPath(subkey, &error)) {
      read.status = Refused(subkey, error);
      return read;
    }
    Key key;
    LONG result = ::RegOpenKeyExW(RootKey(root), Widen(subkey).c_str(), 0, KEY_READ, key.out());
    if (Missing(result)) return read;
    if (result != ERROR_SUCCESS) {
      read.status = Fail("cannot open", root, subkey, result);
      return read;
    }
    DWORD subkeys = 0;
    DWORD values = 0;
    result = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                &values, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) {
      read.status = Fail("cannot read", root, subkey, result);
      return read;
    }
    read.info = RegistryKeyInfo{subkeys, values};
    return read;
  }

  Status CreateKey(RegistryRoot root, std::string_view subkey) override {
    std::string error;
    if (!SplitRegistryPath(subkey, &error)) return Refused(subkey, error);
    if (subkey.empty()) return Status::Ok();
    Key key;
    const LONG result =
        ::RegCreateKeyExW(RootKey(root), Widen(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ, nullptr, key.out(), nullptr);
    if (result != ERROR_SUCCESS) return Fail("cannot create", root, subkey, result);
    return Status::Ok();
  }

  Status DeleteKey(RegistryRoot root, std::string_view subkey) override {
    std::string error;
    if (!SplitRegistryPath(subkey, &error)) return Refused(subkey, error);
    if (subkey.empty()) return Status::Fail("the root key cannot be removed");
    RegistryKeyRead read = QueryKey(root, subkey);
    if (!read.status) return read.status;
    if (!read.info) return Status::Ok();
    if (read.info->subkeys > 0)
      return Status::Fail("registry key '" + KeyName(root, subkey) + "' has subkeys");
    const LONG result = ::RegDeleteKeyW(RootKey(root), Widen(subkey).c_str());
    if (result != ERROR_SUCCESS && !Missing(result))
      return Fail("cannot remove", root, subkey, result);
    return Status::Ok();
  }

  RegistryValueRead QueryValue(RegistryRoot root, std::string_view subkey,
                               std::string_view name) override {
    RegistryValueRead read;
    std::string error;
    if (!SplitRegistryPath(subkey, &error)) {
      read.status = Refused(subkey, error);
      return read;
    }
    if (!IsValidRegistryValueName(name)) {
      read.status = Status::Fail("registry value name refused");
      return read;
    }
    Key key;
    LONG result = ::RegOpenKeyExW(RootKey(root), Widen(subkey).c_str(), 0, KEY_READ, key.out());
    if (Missing(result)) return read;
    if (result != ERROR_SUCCESS) {
      read.status = Fail("cannot open", root, subkey, result);
      return read;
    }
    const std::wstring wide_name = Widen(name);
    DWORD type = 0;
    DWORD size = 0;
    result = ::RegQueryValueExW(key.get(), wide_name.c_str(), nullptr, &type, nullptr, &size);
    if (Missing(result)) return read;
    if (result != ERROR_SUCCESS || size > kMaxRegistryValueBytes * 2) {
      read.status = Fail("cannot read a value of", root, subkey, result);
      return read;
    }
    std::string bytes(size, '\0');
    result = ::RegQueryValueExW(key.get(), wide_name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(bytes.data()), &size);
    if (result != ERROR_SUCCESS) {
      read.status = Fail("cannot read a value of", root, subkey, result);
      return read;
    }
    bytes.resize(size);
    read.value = FromSystemData(type, std::move(bytes));
    return read;
  }

  Status SetValue(RegistryRoot root, std::string_view subkey, std::string_view name,
                  const RegistryValue& value) override {
    std::string error;
    if (!SplitRegistryPath(subkey, &error)) return Refused(subkey, error);
    if (!IsValidRegistryValueName(name)) return Status::Fail("registry value name refused");
    if (!value.IsWellFormed()) return Status::Fail("registry value is not well formed");
    Key key;
    LONG result =
        ::RegOpenKeyExW(RootKey(root), Widen(subkey).c_str(), 0, KEY_SET_VALUE, key.out());
    if (result != ERROR_SUCCESS) return Fail("cannot open", root, subkey, result);
    const std::string data = ToSystemData(value);
    result = ::RegSetValueExW(key.get(), Widen(name).c_str(), 0, static_cast<DWORD>(value.type),
                              reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size()));
    if (result != ERROR_SUCCESS) return Fail("cannot write a value of", root, subkey, result);
    return Status::Ok();
  }

  Status DeleteValue(RegistryRoot root, std::string_view subkey, std::string_view name) override {
    std::string error;
    if (!SplitRegistryPath(subkey, &error)) return Refused(subkey, error);
    if (!IsValidRegistryValueName(name)) return Status::Fail("registry value name refused");
    Key key;
    LONG result =
        ::RegOpenKeyExW(RootKey(root), Widen(subkey).c_str(), 0, KEY_SET_VALUE, key.out());
    if (Missing(result)) return Status::Ok();
    if (result != ERROR_SUCCESS) return Fail("cannot open", root, subkey, result);
    result = ::RegDeleteValueW(key.get(), Widen(name).c_str());
    if (result != ERROR_SUCCESS && !Missing(result))
      return Fail("cannot remove a value of", root, subkey, result);
    return Status::Ok();
  }
};

}  // namespace

IRegistry& SystemRegistry() {
  static SystemRegistryImpl registry;
  return registry;
}

}  // namespace platform
