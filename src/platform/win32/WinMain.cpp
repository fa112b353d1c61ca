// The program's entry on Windows: COM for the browser automation, the
// platform services, then the program's own start, loop and shut-down.
#include "app/Program.h"
#include "platform/win32/Win32Backend.h"
#include "platform/win32/Win32UrlCache.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The browser events arrive through the message loop of this thread, so
  // it is a single-threaded apartment.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  // The services are never destroyed: the program's own objects (timers,
  // tray icon) may still be released after this function has returned, and
  // the process ends right after that anyway.
  plat::Services services;
  services.clock = plat::win32::CreateClock().release();
  services.registry = plat::win32::CreateRegistry().release();
  services.files = plat::win32::CreateFileSystem().release();
  services.system = plat::win32::CreateSystem().release();
  services.desktop = plat::win32::CreateDesktop().release();
  services.ui = plat::win32::CreateUiHost().release();
  services.com = plat::win32::CreateComRuntime().release();
  services.mail = plat::win32::CreateMail().release();
  services.urlCache = CreateWin32UrlCache().release();
  plat::Install(services);

  int exitCode = 0;
  bool started = false;
  plat::win32::RunGuarded([&] {
    ProgramStartup();
    started = true;
  });
  // A start that broke off before the loop leaves nothing to run for: the
  // error has been shown, and what was started is shut down again.
  if (started)
    plat::Ui().RunLoop();
  else
    exitCode = 1;
  plat::win32::RunGuarded([] { ProgramShutdown(); });

  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
