#include "platform/win32/Win32Backend.h"

#include <vector>

namespace plat::win32 {

namespace {

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
  }
  return HKEY_CURRENT_USER;
}

// Every path is taken from the root; a leading backslash means the same.
const char* SubPath(const std::string& path) {
  const char* p = path.c_str();
  while (*p == '\\') ++p;
  return p;
}

class Win32RegKey : public IRegKey {
 public:
  explicit Win32RegKey(HKEY key) : key_(key) {}
  ~Win32RegKey() override {
    // The program promises that a value is on disk once its writer returns,
    // so a changed key is flushed rather than left to the lazy writer.
    if (changed_) RegFlushKey(key_);
    RegCloseKey(key_);
  }

  bool QueryValue(const std::string& name, RegValue& out) override {
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key_, name.c_str(), nullptr, &type, nullptr, &size);
    std::string data;
    // The value may grow between the two calls; ask again until it fits.
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
      data.resize(size);
      DWORD got = size;
      rc = RegQueryValueExA(key_, name.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &got);
      if (rc == ERROR_SUCCESS) {
        data.resize(got);
        out.type = type;
        out.data = std::move(data);
        return true;
      }
      size = got > size ? got : size + 256;
    }
    return false;
  }

  bool SetValue(const std::string& name, const RegValue& value) override {
    LONG rc = RegSetValueExA(key_, name.c_str(), 0, value.type,
                             reinterpret_cast<const BYTE*>(value.data.data()),
                             static_cast<DWORD>(value.data.size()));
    if (rc != ERROR_SUCCESS) return false;
    changed_ = true;
    return true;
  }

  bool DeleteValue(const std::string& name) override {
    if (RegDeleteValueA(key_, name.c_str()) != ERROR_SUCCESS) return false;
    changed_ = true;
    return true;
  }

  std::vector<std::string> SubKeyNames() override {
    std::vector<std::string> names;
    char buf[256];  // a key name has at most 255 characters
    for (DWORD i = 0;; ++i) {
      DWORD len = sizeof buf;
      LONG rc = RegEnumKeyExA(key_, i, buf, &len, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_MORE_DATA) continue;  // cannot happen for a valid key name; skip it
      if (rc != ERROR_SUCCESS) break;
      names.emplace_back(buf, len);
    }
    return names;
  }

  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    std::vector<char> buf(16384);  // a value name has at most 16383 characters
    for (DWORD i = 0;; ++i) {
      DWORD len = static_cast<DWORD>(buf.size());
      LONG rc = RegEnumValueA(key_, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_MORE_DATA) continue;
      if (rc != ERROR_SUCCESS) break;
      names.emplace_back(buf.data(), len);
    }
    return names;
  }

 private:
  HKEY key_;
  bool changed_ = false;
};

class Win32Registry : public IRegistry {
 public:
  std::unique_ptr<IRegKey> OpenKey(RegRoot root, const std::string& path, bool write) override {
    // Writing needs the rights to read, set values, create sub-keys and
    // delete values; reading asks for no more than reading, so that keys the
    // user may not change can still be read.
    REGSAM access = write ? (KEY_READ | KEY_WRITE) : KEY_READ;
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootKey(root), SubPath(path), 0, access, &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32RegKey>(key);
  }

  bool CreateKey(RegRoot root, const std::string& path) override {
    HKEY key = nullptr;
    if (RegOpenKeyExA(RootKey(root), SubPath(path), 0, KEY_READ, &key) == ERROR_SUCCESS) {
      RegCloseKey(key);
      return true;
    }
    DWORD disposition = 0;
    if (RegCreateKeyExA(RootKey(root), SubPath(path), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, &key, &disposition) != ERROR_SUCCESS)
      return false;
    RegFlushKey(key);
    RegCloseKey(key);
    return true;
  }
};

}  // namespace

std::unique_ptr<IRegistry> CreateRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace plat::win32
