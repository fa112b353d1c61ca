#pragma once
// The seam: the program's logic reaches the platform only through these
// services. The Windows backend or the simulated machine installs them
// before the program starts.
#include "platform/Clock.h"
#include "platform/ComRuntime.h"
#include "platform/Desktop.h"
#include "platform/Files.h"
#include "platform/Mail.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/UrlCache.h"
#include "platform/UiHost.h"

namespace plat {

struct Services {
  IClock* clock = nullptr;
  IRegistry* registry = nullptr;
  IFileSystem* files = nullptr;
  ISystem* system = nullptr;
  IDesktop* desktop = nullptr;
  IUiHost* ui = nullptr;
  IUrlCache* urlCache = nullptr;
  IComRuntime* com = nullptr;
  IMail* mail = nullptr;
};

// Installs the services; the previous set is returned.
Services Install(const Services& services);
const Services& Installed();

inline IClock& Clock() { return *Installed().clock; }
inline IRegistry& Registry() { return *Installed().registry; }
inline IFileSystem& Files() { return *Installed().files; }
inline ISystem& System() { return *Installed().system; }
inline IDesktop& Desktop() { return *Installed().desktop; }
inline IUiHost& Ui() { return *Installed().ui; }
inline IUrlCache& UrlCache() { return *Installed().urlCache; }
inline IComRuntime& Com() { return *Installed().com; }
inline IMail& Mail() { return *Installed().mail; }

}  // namespace plat
