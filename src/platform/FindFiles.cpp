#include "platform/FindFiles.h"

#include "platform/Services.h"

namespace plat {

std::vector<FindEntry> FindWithAttributes(const std::string& pattern, uint32_t attrMask) {
  std::vector<FindEntry> all;
  std::vector<FindEntry> out;
  if (!Files().FindFiles(pattern, all)) return out;
  const uint32_t exclude = ~attrMask & (FA_HIDDEN | FA_SYSTEM | FA_VOLUMEID | FA_DIRECTORY);
  for (auto& e : all)
    if ((e.attributes & exclude) == 0) out.push_back(std::move(e));
  return out;
}

}  // namespace plat
