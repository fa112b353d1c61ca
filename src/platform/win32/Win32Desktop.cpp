#include "platform/win32/Win32Backend.h"

namespace plat::win32 {

namespace {

class Win32Desktop : public IDesktop {
 public:
  int MessageBox(Handle owner, const std::string& text, const std::string& caption, unsigned flags) override {
    return MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(), flags);
  }
};

}  // namespace

std::unique_ptr<IDesktop> CreateDesktop() { return std::make_unique<Win32Desktop>(); }

}  // namespace plat::win32
