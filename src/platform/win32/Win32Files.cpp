#include "platform/win32/Win32Backend.h"

#include <algorithm>

namespace plat::win32 {

std::string SystemMessageText(DWORD code) {
  char* text = nullptr;
  DWORD len = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string msg;
  if (len != 0 && text) msg.assign(text, len);
  if (text) LocalFree(text);
  while (!msg.empty() && (static_cast<unsigned char>(msg.back()) <= ' ' || msg.back() == '.')) msg.pop_back();
  return msg;
}

std::string SystemErrorMessage(DWORD code) {
  std::string msg = SystemMessageText(code);
  return msg.empty() ? "System error " + std::to_string(code) : msg;
}

namespace {

// Nobody is locked out: the log and the list files are read by other
// programs (and by the bug report) while the program has them open.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Win32File : public IFile {
 public:
  explicit Win32File(HANDLE h) : h_(h) {}
  ~Win32File() override { ::CloseHandle(h_); }

  uint64_t Size() override {
    LARGE_INTEGER size;
    return GetFileSizeEx(h_, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
  }

  bool Seek(uint64_t pos) override {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(pos);
    return SetFilePointerEx(h_, to, nullptr, FILE_BEGIN) != 0;
  }

  size_t Read(void* buf, size_t n) override {
    auto* p = static_cast<char*>(buf);
    size_t total = 0;
    while (total < n) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - total, 1u << 30));
      DWORD got = 0;
      if (!ReadFile(h_, p + total, chunk, &got, nullptr) || got == 0) break;
      total += got;
    }
    return total;
  }

  bool Write(const void* buf, size_t n) override {
    auto* p = static_cast<const char*>(buf);
    size_t total = 0;
    while (total < n) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - total, 1u << 30));
      DWORD put = 0;
      if (!WriteFile(h_, p + total, chunk, &put, nullptr) || put == 0) return false;
      total += put;
    }
    return true;
  }

 private:
  HANDLE h_;
};

class Win32FileSystem : public IFileSystem {
 public:
  bool FindFiles(const std::string& pattern, std::vector<FindEntry>& out) override {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
      // No match in an existing folder is an empty result, not a failure.
      DWORD err = GetLastError();
      return err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES;
    }
    do {
      FindEntry e;
      e.name = fd.cFileName;
      e.attributes = fd.dwFileAttributes;
      e.size = (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
      out.push_back(std::move(e));
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return true;
  }

  std::unique_ptr<IFile> Open(const std::string& path, OpenMode mode, std::string* error) override {
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode == OpenMode::ReadWrite) access = GENERIC_READ | GENERIC_WRITE;
    if (mode == OpenMode::CreateAlways) {
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = CREATE_ALWAYS;
    }
    HANDLE h = CreateFileA(path.c_str(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      if (error) *error = SystemErrorMessage(GetLastError());
      return nullptr;
    }
    return std::make_unique<Win32File>(h);
  }

  uint32_t GetAttributes(const std::string& path) override { return GetFileAttributesA(path.c_str()); }

  bool SetAttributes(const std::string& path, uint32_t attributes) override {
    return SetFileAttributesA(path.c_str(), attributes) != 0;
  }

  bool DeleteFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }

  bool CreateDirectory(const std::string& path) override { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

  bool RemoveDirectory(const std::string& path) override { return RemoveDirectoryA(path.c_str()) != 0; }

  bool ReplaceFile(const std::string& from, const std::string& to, std::string* error) override {
    // One rename over the old file: a crash leaves either the old file or
    // the new one whole, and the write-through makes the new one last.
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    if (error) *error = SystemErrorMessage(GetLastError());
    return false;
  }
};

}  // namespace

std::unique_ptr<IFileSystem> CreateFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace plat::win32
