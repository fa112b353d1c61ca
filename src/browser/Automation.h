#pragma once
// The program's calls into browsers and into the shell's window list. Every
// call goes late-bound through IDispatch (the member's id is looked up by
// name once per object, then Invoke), so only the IUnknown and IDispatch
// slots of the real interfaces are ever touched. A failing call raises
// EOleSysError with the system's message and the result code: the places that
// expect a browser to fail catch it and log their "-EOleSys" line.
#include <array>
#include <cstdint>
#include <string>

#include "platform/Com.h"
#include "platform/Types.h"

// Raises EOleSysError for a failing result (message from the runtime, or from
// the callee's error details when it gave some).
void OleCheck(com::HRESULT hr);

// A dispatch object with its member ids cached by name.
class TDispatchCaller {
 public:
  TDispatchCaller() = default;
  explicit TDispatchCaller(com::ComPtr<com::IDispatch> disp) : disp_(std::move(disp)) {}

  bool Empty() const { return !disp_; }
  com::IDispatch* Dispatch() const { return disp_.Get(); }

  // |slot| indexes the cache; |name| is the member's name.
  com::DISPID Id(int slot, const char16_t* name);
  // Property get / method call with positional arguments (in declared order);
  // the result goes to |result| when given.
  void Call(int slot, const char16_t* name, uint16_t flags, com::VARIANT* args, uint32_t count,
            com::VARIANT* result);
  void Put(int slot, const char16_t* name, com::VARIANT& value);

  static constexpr int kSlots = 8;

 private:
  com::ComPtr<com::IDispatch> disp_;
  std::array<com::DISPID, kSlots> ids_{};
  std::array<bool, kSlots> known_{};
};

// A counted reference to a browser object (IWebBrowser2 or IWebBrowserApp), or empty.
class TWebBrowser {
 public:
  TWebBrowser() = default;
  // Asks |unk| for |iid|; empty when the object lacks the interface (no error).
  static TWebBrowser Query(com::IUnknown* unk, const com::GUID& iid = com::IID_IWebBrowser2);

  bool Empty() const { return call_.Empty(); }
  com::IDispatch* Dispatch() const { return call_.Dispatch(); }
  // The object's IUnknown, for identity comparisons (no reference is kept
  // beyond the object's own lifetime; nullptr when empty).
  com::IUnknown* Identity() const;

  plat::Handle HWND();
  std::string FullName();
  std::string LocationURL();
  void SetVisible(bool v);
  bool Visible();
  void Quit();
  int32_t ReadyState();
  int16_t Busy();  // as VARIANT_BOOL: -1 while busy

 private:
  explicit TWebBrowser(com::ComPtr<com::IDispatch> disp) : call_(std::move(disp)) {}
  TDispatchCaller call_;
};

// The shell's collection of open browser windows.
class TShellWindows {
 public:
  TShellWindows() = default;
  // Creates ShellWindows for IShellWindows; raises EOleSysError on failure.
  static TShellWindows Create();

  bool Empty() const { return call_.Empty(); }
  int32_t Count();
  // The entry at |index|; empty when none stands there.
  com::ComPtr<com::IDispatch> Item(int32_t index);
  com::IUnknown* Unknown() const { return call_.Dispatch(); }

 private:
  explicit TShellWindows(com::ComPtr<com::IDispatch> disp) : call_(std::move(disp)) {}
  TDispatchCaller call_;
};

// Creates an InternetExplorer application object for IWebBrowser2: a new,
// invisible browser window. Raises EOleSysError on failure.
TWebBrowser CreateInternetExplorer();
