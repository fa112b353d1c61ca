#pragma once
// The browser's URL cache on Windows: wininet.dll, loaded when first asked
// for, so that the program runs (without the cache) where it is missing.
#include <memory>

#include "platform/UrlCache.h"

std::unique_ptr<plat::IUrlCache> CreateWin32UrlCache();
