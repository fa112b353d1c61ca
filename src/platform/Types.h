#pragma once
// Value types shared by the platform services.
#include <cstdint>

namespace plat {

// Window, mutex and other handles, as the platform hands them out.
using Handle = std::uintptr_t;

struct Point {
  int x = 0, y = 0;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};

}  // namespace plat
