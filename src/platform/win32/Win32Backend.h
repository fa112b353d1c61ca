#pragma once
// The Windows side of the platform seam. This folder is the only place that
// sees the Windows headers; everything here is built for Windows only.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <mmsystem.h>

// The seam names some operations like the Windows API macros that switch
// between the A and W functions. Drop those macros so that the interfaces
// keep their own names here; this code calls the A functions by name.
#undef MessageBox
#undef CreateMutex
#undef DeleteFile
#undef CreateDirectory
#undef RemoveDirectory
#undef ReplaceFile
#undef ShellExecute
#undef GetClassName
#undef GetWindowText
#undef FindWindowEx
#undef PostMessage

#include <memory>
#include <stdexcept>
#include <string>

#include "base/DateTime.h"

#include "platform/Services.h"

namespace plat::win32 {

std::unique_ptr<IClock> CreateClock();
std::unique_ptr<IRegistry> CreateRegistry();
std::unique_ptr<IFileSystem> CreateFileSystem();
std::unique_ptr<ISystem> CreateSystem();
std::unique_ptr<IDesktop> CreateDesktop();
std::unique_ptr<IComRuntime> CreateComRuntime();
std::unique_ptr<IMail> CreateMail();
// Creates the hidden host window; call once, on the thread that runs the loop.
std::unique_ptr<IUiHost> CreateUiHost();

// The hidden top-level window behind the tray icon, the timers and the
// session messages; the natural owner of the program's other windows.
HWND HostWindow();

// A local SYSTEMTIME as the program's date-time value.
TDateTime SystemTimeToDateTime(const SYSTEMTIME& st);

// The system's text for an error code (also a COM result code), without
// trailing blanks and full stop, as callers put it into sentences of their
// own; "" when the system has none.
std::string SystemMessageText(DWORD code);
// The same, with "System error <code>" when the system has no text.
std::string SystemErrorMessage(DWORD code);

// Runs an event handler so that no C++ exception unwinds through the
// system's frames of the message dispatch.
template <class F>
void RunGuarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    HandleError(e);
  } catch (...) {
    HandleError(std::runtime_error("Unknown error"));
  }
}

}  // namespace plat::win32
