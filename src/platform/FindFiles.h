#pragma once
// File search with an attribute mask, as the program's folder walks use it:
// an entry is returned unless it has the hidden, system, volume-label or
// directory attribute while that attribute is missing from the mask.
#include <string>
#include <vector>

#include "platform/Files.h"

namespace plat {

std::vector<FindEntry> FindWithAttributes(const std::string& pattern, uint32_t attrMask);

}  // namespace plat
