#include "platform/Services.h"

#include <cstdio>

namespace plat {

namespace {
Services g_services;
ErrorHandler g_errorHandler = nullptr;
IdleHandler g_idleHandler = nullptr;
}  // namespace

void SetIdleHandler(IdleHandler handler) { g_idleHandler = handler; }

void RunIdle() {
  if (g_idleHandler) g_idleHandler();
}

void SetErrorHandler(ErrorHandler handler) { g_errorHandler = handler; }

void HandleError(const std::exception& e) {
  if (g_errorHandler)
    g_errorHandler(e);
  else
    std::fprintf(stderr, "%s\n", e.what());
}

Services Install(const Services& services) {
  Services old = g_services;
  g_services = services;
  return old;
}

const Services& Installed() { return g_services; }

}  // namespace plat
