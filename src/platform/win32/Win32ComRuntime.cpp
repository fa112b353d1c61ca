// The COM runtime of the real program: ole32 and oleaut32. Our own COM types
// (platform/Com.h) have the layouts of the system's, so pointers to them are
// handed across as they are; this file is the only place that converts.
#include <string>

#include "base/Format.h"
#include "platform/win32/Win32Backend.h"

namespace plat::win32 {

namespace {

static_assert(sizeof(com::OLECHAR) == sizeof(OLECHAR), "a COM character is 16 bits on both sides");
static_assert(sizeof(com::VARIANT) == sizeof(::VARIANT), "variants have the system's layout");
static_assert(sizeof(com::GUID) == sizeof(::GUID), "class and interface ids have the system's layout");

const ::GUID& Sys(const com::GUID& g) { return reinterpret_cast<const ::GUID&>(g); }
::VARIANT* Sys(com::VARIANT* v) { return reinterpret_cast<::VARIANT*>(v); }
const ::VARIANT* Sys(const com::VARIANT* v) { return reinterpret_cast<const ::VARIANT*>(v); }
::BSTR Sys(com::BSTR s) { return reinterpret_cast<::BSTR>(s); }

class Win32ComRuntime : public IComRuntime {
 public:
  com::HRESULT CreateInstance(const com::CLSID& clsid, const com::IID& iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    // The shell's window list and the browser live in other processes.
    return CoCreateInstance(Sys(clsid), nullptr, CLSCTX_ALL, Sys(iid), out);
  }

  com::BSTR SysAllocStringLen(const com::OLECHAR* text, uint32_t length) override {
    return reinterpret_cast<com::BSTR>(::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text), length));
  }
  void SysFreeString(com::BSTR s) override { ::SysFreeString(Sys(s)); }
  uint32_t SysStringLen(com::BSTR s) override { return ::SysStringLen(Sys(s)); }

  com::HRESULT VariantClear(com::VARIANT* v) override { return ::VariantClear(Sys(v)); }
  com::HRESULT VariantCopy(com::VARIANT* dest, const com::VARIANT* src) override {
    return ::VariantCopy(Sys(dest), const_cast<::VARIANT*>(Sys(src)));
  }

  std::u16string AnsiToWide(std::string_view ansi) override {
    if (ansi.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::u16string wide(static_cast<size_t>(n > 0 ? n : 0), u'\0');
    if (n > 0)
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), reinterpret_cast<wchar_t*>(wide.data()),
                          n);
    return wide;
  }

  std::string WideToAnsi(std::u16string_view wide) override {
    if (wide.empty()) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(wide.data());
    const int wn = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, w, wn, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, w, wn, ansi.data(), n, "?", nullptr);
    return ansi;
  }

  std::string ErrorMessage(com::HRESULT hr) override {
    const DWORD code = static_cast<DWORD>(hr);
    std::string text = SystemErrorMessage(code);
    // A code the system has no text for is shown by its number.
    if (text == "System error " + std::to_string(code)) text = Format("OLE error %.8x", {static_cast<unsigned>(code)});
    return text;
  }
};

}  // namespace

std::unique_ptr<IComRuntime> CreateComRuntime() { return std::make_unique<Win32ComRuntime>(); }

}  // namespace plat::win32
