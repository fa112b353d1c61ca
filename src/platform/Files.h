#pragma once
// Files and folders with Windows paths ("C:\Program Files\Ondrel\x.ppe").
// File names compare without regard to case, as on NTFS.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

enum FileAttr : uint32_t {
  FA_READONLY = 0x1,
  FA_HIDDEN = 0x2,
  FA_SYSTEM = 0x4,
  FA_VOLUMEID = 0x8,
  FA_DIRECTORY = 0x10,
  FA_ARCHIVE = 0x20,
  FA_NORMAL = 0x80,
  FA_REPARSE_POINT = 0x400,
};

constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

struct FindEntry {
  std::string name;  // without folder
  uint32_t attributes = 0;
  uint64_t size = 0;
};

enum class OpenMode {
  Read,        // existing file, reading; others may read and write
  ReadWrite,   // existing file, reading and writing; others may read and write
  CreateAlways // create or empty, writing
};

class IFile {
 public:
  virtual ~IFile() = default;
  virtual uint64_t Size() = 0;
  virtual bool Seek(uint64_t pos) = 0;
  // Reads up to |n| bytes; returns how many were read (0 at the end).
  virtual size_t Read(void* buf, size_t n) = 0;
  // Writes all |n| bytes; false when not all could be written.
  virtual bool Write(const void* buf, size_t n) = 0;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  // The entries matching a search pattern such as "C:\x\*.lcl", in the order
  // the file system gives them; "." and ".." are included for a non-root
  // folder when the pattern matches them. False when the folder is missing.
  virtual bool FindFiles(const std::string& pattern, std::vector<FindEntry>& out) = 0;
  // Null on failure; |error| then gets the system's message.
  virtual std::unique_ptr<IFile> Open(const std::string& path, OpenMode mode, std::string* error = nullptr) = 0;
  virtual uint32_t GetAttributes(const std::string& path) = 0;  // kInvalidAttributes when missing
  virtual bool SetAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual bool DeleteFile(const std::string& path) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;
  virtual bool RemoveDirectory(const std::string& path) = 0;  // only an empty folder
  // Puts |from| in the place of |to| in one step, replacing an existing |to|.
  virtual bool ReplaceFile(const std::string& from, const std::string& to, std::string* error = nullptr) = 0;

  bool FileExists(const std::string& path) {
    uint32_t a = GetAttributes(path);
    return a != kInvalidAttributes && !(a & FA_DIRECTORY);
  }
  bool DirectoryExists(const std::string& path) {
    uint32_t a = GetAttributes(path);
    return a != kInvalidAttributes && (a & FA_DIRECTORY);
  }
};

}  // namespace plat
