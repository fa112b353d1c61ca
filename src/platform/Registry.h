#pragma once
// The registry: a tree of keys under a few roots, each key holding named
// values of a type (string, integer, binary, ...). Names of keys and values
// are compared without regard to case; "" names a key's default value.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

enum class RegRoot { CurrentUser, LocalMachine, ClassesRoot };

// Value types, numbered as the registry numbers them.
enum RegType : uint32_t {
  REG_TYPE_NONE = 0,
  REG_TYPE_SZ = 1,
  REG_TYPE_EXPAND_SZ = 2,
  REG_TYPE_BINARY = 3,
  REG_TYPE_DWORD = 4,
  REG_TYPE_MULTI_SZ = 7,
};

struct RegValue {
  uint32_t type = REG_TYPE_NONE;
  // The value's bytes as the registry stores them: a string with its
  // terminating zero byte, an integer as 4 little-endian bytes.
  std::string data;
};

// An open key. Closing it (destroying the object) flushes a change at once.
class IRegKey {
 public:
  virtual ~IRegKey() = default;
  virtual bool QueryValue(const std::string& name, RegValue& out) = 0;
  virtual bool SetValue(const std::string& name, const RegValue& value) = 0;
  virtual bool DeleteValue(const std::string& name) = 0;
  virtual std::vector<std::string> SubKeyNames() = 0;
  virtual std::vector<std::string> ValueNames() = 0;
};

class IRegistry {
 public:
  virtual ~IRegistry() = default;
  // Opens an existing key (a leading backslash in |path| is allowed); null
  // when it does not exist or the access is refused. Never creates a key.
  virtual std::unique_ptr<IRegKey> OpenKey(RegRoot root, const std::string& path, bool write) = 0;
  // Creates the key with all missing parents; true when it exists afterwards.
  virtual bool CreateKey(RegRoot root, const std::string& path) = 0;
};

}  // namespace plat
