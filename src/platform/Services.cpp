#include "platform/Services.h"

#include <cstdio>

namespace plat {

namespace {
Services g_services;
ErrorHandler g_errorHandler = nullptr;
}  // namespace

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
