// The COM runtime of ole32 and oleaut32 behind the program's own COM types.
// Those types keep the platform's layouts, so values cross by a plain cast.
#include <cstdio>

#include "platform/win32/Win32Backend.h"

namespace plat::win32 {

namespace {

static_assert(sizeof(com::VARIANT) == sizeof(::VARIANT), "the program's VARIANT must be the platform's");
static_assert(sizeof(com::GUID) == sizeof(::GUID), "the program's GUID must be the platform's");
static_assert(sizeof(com::OLECHAR) == sizeof(::OLECHAR), "COM characters are 16 bits wide");

const ::GUID& Guid(const com::GUID& g) { return reinterpret_cast<const ::GUID&>(g); }
::VARIANT* Var(com::VARIANT* v) { return reinterpret_cast<::VARIANT*>(v); }
const ::VARIANT* Var(const com::VARIANT* v) { return reinterpret_cast<const ::VARIANT*>(v); }
::BSTR Bstr(com::BSTR s) { return reinterpret_cast<::BSTR>(s); }

class Win32ComRuntime : public IComRuntime {
 public:
  com::HRESULT CreateInstance(const com::CLSID& clsid, const com::IID& iid, void** out) override {
    *out = nullptr;
    // The shell's window list and the browser live in other processes;
    // a test's stand-in may be either kind of server.
    return CoCreateInstance(Guid(clsid), nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, Guid(iid), out);
  }

  com::BSTR SysAllocStringLen(const com::OLECHAR* text, uint32_t length) override {
    return reinterpret_cast<com::BSTR>(::SysAllocStringLen(reinterpret_cast<const ::OLECHAR*>(text), length));
  }
  void SysFreeString(com::BSTR s) override { ::SysFreeString(Bstr(s)); }
  uint32_t SysStringLen(com::BSTR s) override { return ::SysStringLen(Bstr(s)); }

  com::HRESULT VariantClear(com::VARIANT* v) override { return ::VariantClear(Var(v)); }
  com::HRESULT VariantCopy(com::VARIANT* dest, const com::VARIANT* src) override {
    // Some SDKs declare the source without const; it is only read.
    return ::VariantCopy(Var(dest), const_cast<::VARIANT*>(Var(src)));
  }

  std::u16string AnsiToWide(std::string_view ansi) override {
    if (ansi.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::u16string wide(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                        reinterpret_cast<wchar_t*>(wide.data()), n);
    return wide;
  }

  std::string WideToAnsi(std::u16string_view wide) override {
    if (wide.empty()) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(wide.data());
    int len = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(CP_ACP, 0, w, len, nullptr, 0, "?", nullptr);
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, w, len, ansi.data(), n, "?", nullptr);
    return ansi;
  }

  void DisconnectObject(com::IUnknown* object) override {
    if (object) CoDisconnectObject(reinterpret_cast<::IUnknown*>(object), 0);
  }

  std::string ErrorMessage(com::HRESULT hr) override {
    std::string msg = SystemMessageText(static_cast<DWORD>(hr));
    if (!msg.empty()) return msg;
    char buf[32];
    std::snprintf(buf, sizeof buf, "OLE error %.8X", static_cast<unsigned>(hr));
    return buf;
  }
};

}  // namespace

std::unique_ptr<IComRuntime> CreateComRuntime() { return std::make_unique<Win32ComRuntime>(); }

}  // namespace plat::win32
