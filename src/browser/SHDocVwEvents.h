#pragma once
// Event sinks for the shell's window list (DShellWindowsEvents) and for a
// browser (DWebBrowserEvents2). A sink is a plain IDispatch object that
// attaches itself to its source through the connection-point mechanism and
// turns each incoming Invoke into a call of the handler assigned to that
// event. It is not reference counted: it lives as long as its owner keeps it,
// and disconnects itself when destroyed, making the system drop whatever
// references it still keeps on the sink for a source in another process.
//
// Handler errors never reach the source: Invoke answers E_UNEXPECTED and the
// sink stays connected. A call that is not a method call is refused with the
// text "<class> only supports sinking of method calls!": in the error details
// (DISP_E_EXCEPTION) when the caller passed room for them, else as plain
// DISP_E_MEMBERNOTFOUND, since an event interface has no properties.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Com.h"
#include "ui/Components.h"

class TSHDocVwEventsBaseSink : public ui::TComponent, public com::IDispatch {
 public:
  explicit TSHDocVwEventsBaseSink(const com::IID& eventIID, std::string name = {});
  ~TSHDocVwEventsBaseSink() override;

  // Attaches the sink to |source| (after detaching it from any earlier one).
  // Raises EOleSysError "Unable to connect <Name>.\r<message>" with the failed
  // call's result code when the source has no connection point for EventIID
  // or refuses the advice.
  void Connect(com::IUnknown* source);
  // Detaches the sink; harmless when not connected. The references to the
  // source and its connection point are released even when the source cannot
  // be told (its process is gone).
  void Disconnect();

  bool Connected() const { return static_cast<bool>(Source); }
  const com::IID& EventIID() const { return eventIID_; }
  uint32_t Cookie = 0;
  com::ComPtr<com::IUnknown> Source;  // the object connected to; empty when not connected

  // The name of the sink's class, for error texts.
  virtual const char* ClassName() const = 0;

  // IUnknown
  com::HRESULT ONDREL_COMCALL QueryInterface(const com::IID& riid, void** ppv) override;
  uint32_t ONDREL_COMCALL AddRef() override { return 2; }
  uint32_t ONDREL_COMCALL Release() override { return 1; }
  // IDispatch
  com::HRESULT ONDREL_COMCALL GetTypeInfoCount(uint32_t* pctinfo) override;
  com::HRESULT ONDREL_COMCALL GetTypeInfo(uint32_t iTInfo, com::LCID lcid, com::ITypeInfo** ppTInfo) override;
  com::HRESULT ONDREL_COMCALL GetIDsOfNames(const com::IID& riid, com::LPOLESTR* rgszNames, uint32_t cNames,
                                            com::LCID lcid, com::DISPID* rgDispId) override;
  com::HRESULT ONDREL_COMCALL Invoke(com::DISPID dispIdMember, const com::IID& riid, com::LCID lcid,
                                     uint16_t wFlags, com::DISPPARAMS* pDispParams, com::VARIANT* pVarResult,
                                     com::EXCEPINFO* pExcepInfo, uint32_t* puArgErr) override;

  // The arguments of one event call in their declared order: positional
  // arguments stand in the dispatch parameters in reverse order, a named
  // argument's id is its position in the declaration.
  class TEventArgs {
   public:
    explicit TEventArgs(const com::DISPPARAMS* params) : p_(params) {}
    // The variant of declared parameter |index|, or nullptr when not passed.
    com::VARIANT* At(uint32_t index) const;

    // Typed readers. A missing or unfit argument reads as empty, 0 or none;
    // a reference to an argument the caller did not pass refers to |spare|,
    // which is emptied first.
    com::VARIANT& Var(uint32_t index, com::VARIANT& spare) const;  // the caller's variant (VT_BYREF|VT_VARIANT followed)
    com::IDispatch* Dispatch(uint32_t index) const;     // VT_DISPATCH, by value or by reference
    int32_t Int(uint32_t index) const;
    com::VARIANT_BOOL Bool(uint32_t index) const;
    com::VARIANT_BOOL& BoolRef(uint32_t index, com::VARIANT_BOOL& spare) const;  // VT_BYREF|VT_BOOL: the caller's flag
    com::IDispatch** DispatchSlot(uint32_t index) const;  // VT_BYREF|VT_DISPATCH: the caller's slot, or nullptr

   private:
    const com::DISPPARAMS* p_;
  };

 protected:
  // Looks |dispId| up and calls its handler: DISP_E_MEMBERNOTFOUND for an id
  // the interface does not have, S_OK otherwise (also when no handler is set).
  // Handler errors propagate to Invoke.
  virtual com::HRESULT InvokeEvent(com::DISPID dispId, const TEventArgs& args) = 0;

 private:
  com::IID eventIID_;
  com::ComPtr<com::IConnectionPoint> connectionPoint_;
};

// ---------------------------------------------------------------------------

class TDShellWindowsEvents : public TSHDocVwEventsBaseSink {
 public:
  using TCookieEvent = std::function<void(TSHDocVwEventsBaseSink* Sender, int32_t lCookie)>;

  explicit TDShellWindowsEvents(std::string name = {});
  ~TDShellWindowsEvents() override = default;
  const char* ClassName() const override { return "TDShellWindowsEvents"; }

  TCookieEvent WindowRegistered;  // 200
  TCookieEvent WindowRevoked;     // 201

 protected:
  com::HRESULT InvokeEvent(com::DISPID dispId, const TEventArgs& args) override;
};

// ---------------------------------------------------------------------------

class TDWebBrowserEvents2 : public TSHDocVwEventsBaseSink {
 public:
  using Sender = TSHDocVwEventsBaseSink*;
  using VARIANT = com::VARIANT;
  using VARIANT_BOOL = com::VARIANT_BOOL;
  using IDispatch = com::IDispatch;

  explicit TDWebBrowserEvents2(std::string name = {});
  ~TDWebBrowserEvents2() override = default;
  const char* ClassName() const override { return "TDWebBrowserEvents2"; }

  // The events with their published dispatch ids. By-reference parameters
  // are the caller's own: a handler writing Cancel writes the browser's flag.
  std::function<void(Sender, const std::string& Text)> StatusTextChange;                           // 102
  std::function<void(Sender, int32_t Progress, int32_t ProgressMax)> ProgressChange;                // 108
  std::function<void(Sender, int32_t Command, VARIANT_BOOL Enable)> CommandStateChange;             // 105
  std::function<void(Sender)> DownloadBegin;                                                        // 106
  std::function<void(Sender)> DownloadComplete;                                                     // 104
  std::function<void(Sender, const std::string& Text)> TitleChange;                                // 113
  std::function<void(Sender, const std::string& szProperty)> PropertyChange;                       // 112
  std::function<void(Sender, IDispatch* pDisp, VARIANT& URL, VARIANT& Flags, VARIANT& TargetFrameName,
                     VARIANT& PostData, VARIANT& Headers, VARIANT_BOOL& Cancel)>
      BeforeNavigate2;  // 250
  // ppDisp holds the caller's dispatch (asked for IDispatch) or none; what
  // the handler leaves there goes back into the caller's slot afterwards,
  // the reference that stood there before being given up.
  std::function<void(Sender, com::ComPtr<IDispatch>& ppDisp, VARIANT_BOOL& Cancel)> NewWindow2;  // 251
  std::function<void(Sender, IDispatch* pDisp, VARIANT& URL)> NavigateComplete2;                    // 252
  std::function<void(Sender, IDispatch* pDisp, VARIANT& URL)> DocumentComplete;                     // 259
  std::function<void(Sender)> OnQuit;                                                               // 253
  std::function<void(Sender, VARIANT_BOOL Visible)> OnVisible;                                     // 254
  std::function<void(Sender, VARIANT_BOOL ToolBar)> OnToolBar;                                     // 255
  std::function<void(Sender, VARIANT_BOOL MenuBar)> OnMenuBar;                                     // 256
  std::function<void(Sender, VARIANT_BOOL StatusBar)> OnStatusBar;                                 // 257
  std::function<void(Sender, VARIANT_BOOL FullScreen)> OnFullScreen;                               // 258
  std::function<void(Sender, VARIANT_BOOL TheaterMode)> OnTheaterMode;                             // 260

 protected:
  com::HRESULT InvokeEvent(com::DISPID dispId, const TEventArgs& args) override;
};

// The dispatch ids of the events, as the browser publishes them.
namespace dispid {
enum : com::DISPID {
  WindowRegistered = 200,
  WindowRevoked = 201,
  StatusTextChange = 102,
  DownloadComplete = 104,
  CommandStateChange = 105,
  DownloadBegin = 106,
  ProgressChange = 108,
  PropertyChange = 112,
  TitleChange = 113,
  BeforeNavigate2 = 250,
  NewWindow2 = 251,
  NavigateComplete2 = 252,
  OnQuit = 253,
  OnVisible = 254,
  OnToolBar = 255,
  OnMenuBar = 256,
  OnStatusBar = 257,
  OnFullScreen = 258,
  DocumentComplete = 259,
  OnTheaterMode = 260,
};
}  // namespace dispid
