#include "platform/win32/Win32Backend.h"

#include <cstdio>
#include <vector>

namespace plat::win32 {

namespace {

std::string WithoutTrailingBackslash(std::string s) {
  while (!s.empty() && s.back() == '\\') s.pop_back();
  return s;
}

// A string of the version resource, under the block of |langCodepage|.
std::string VersionString(const std::vector<char>& block, const char* langCodepage, const char* name) {
  std::string query = std::string("\\StringFileInfo\\") + langCodepage + "\\" + name;
  char* text = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &len) || !text || len == 0)
    return "";
  // The length counts the terminating zero, when there is one.
  std::string s(text, len);
  size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  return s;
}

class Win32System : public ISystem {
 public:
  std::string ProgramPath() override {
    std::vector<char> buf(MAX_PATH);
    for (;;) {
      DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
      if (n == 0) return "";
      if (n < buf.size()) return std::string(buf.data(), n);
      buf.resize(buf.size() * 2);  // cut short: the path is longer than the buffer
    }
  }

  FileVersionInfo VersionInfo(const std::string& path) override {
    FileVersionInfo info;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return info;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return info;
    info.found = true;

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len) && fixed &&
        len >= sizeof(VS_FIXEDFILEINFO)) {
      info.binary[0] = HIWORD(fixed->dwFileVersionMS);
      info.binary[1] = LOWORD(fixed->dwFileVersionMS);
      info.binary[2] = HIWORD(fixed->dwFileVersionLS);
      info.binary[3] = LOWORD(fixed->dwFileVersionLS);
    }

    // The strings are read in the first language the resource lists.
    struct Translation {
      WORD language;
      WORD codepage;
    };
    Translation* tr = nullptr;
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&tr), &len) && tr &&
        len >= sizeof(Translation)) {
      char langCodepage[16];
      std::snprintf(langCodepage, sizeof langCodepage, "%04x%04x", tr->language, tr->codepage);
      info.fileVersion = VersionString(block, langCodepage, "FileVersion");
      info.productName = VersionString(block, langCodepage, "ProductName");
    }
    return info;
  }

  std::string WindowsDirectory() override {
    char buf[MAX_PATH + 1];
    UINT n = GetWindowsDirectoryA(buf, sizeof buf);
    if (n == 0 || n >= sizeof buf) return "";
    return WithoutTrailingBackslash(std::string(buf, n));
  }

  std::string TempPath() override {
    char buf[MAX_PATH + 2];
    DWORD n = GetTempPathA(sizeof buf, buf);
    if (n == 0 || n >= sizeof buf) return "";
    std::string s(buf, n);
    if (s.back() != '\\') s += '\\';
    return s;
  }

  std::string SpecialFolderPath(int csidl) override {
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || !pidl) return "";
    char buf[MAX_PATH];
    std::string path;
    if (SHGetPathFromIDListA(pidl, buf)) path = buf;
    // The item list belongs to the shell's allocator.
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc) {
      shellMalloc->Free(pidl);
      shellMalloc->Release();
    }
    return path;
  }

  Handle CreateMutex(const std::string& name) override {
    return reinterpret_cast<Handle>(CreateMutexA(nullptr, FALSE, name.c_str()));
  }

  void CloseHandle(Handle h) override {
    if (h != 0) ::CloseHandle(reinterpret_cast<HANDLE>(h));
  }

  void PlaySoundFile(const std::string& path) override {
    PlaySoundA(path.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
  }

  bool ShellExecute(const std::string& target) override {
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_NOCLOSEPROCESS;
    sei.lpFile = target.c_str();
    sei.nShow = SW_SHOWDEFAULT;
    if (!ShellExecuteExA(&sei)) return false;
    // Nobody waits for the started program; do not keep its handle.
    if (sei.hProcess) ::CloseHandle(sei.hProcess);
    return true;
  }

  void ShellOpen(Handle owner, const std::string& target) override {
    // Without SEE_MASK_FLAG_NO_UI the shell tells the user itself why a file
    // cannot be opened.
    SHELLEXECUTEINFOA sei = {};
    sei.cbSize = sizeof sei;
    sei.hwnd = reinterpret_cast<HWND>(owner);
    sei.lpVerb = "open";
    sei.lpFile = target.c_str();
    sei.nShow = SW_SHOWDEFAULT;
    ShellExecuteExA(&sei);
  }

  void ClearRecentDocs() override { SHAddToRecentDocs(SHARD_PIDL, nullptr); }
};

}  // namespace

std::unique_ptr<ISystem> CreateSystem() { return std::make_unique<Win32System>(); }

}  // namespace plat::win32
