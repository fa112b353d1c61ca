#include "platform/Services.h"

namespace plat {

namespace {
Services g_services;
}

Services Install(const Services& services) {
  Services old = g_services;
  g_services = services;
  return old;
}

const Services& Installed() { return g_services; }

}  // namespace plat
