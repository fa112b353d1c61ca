#include "platform/sim/SimDesktop.h"

#include <vector>

namespace sim {

namespace {

// The buttons of each message box type in their order, by the numbers of the
// answers they give (OK 1, Cancel 2, Abort 3, Retry 4, Ignore 5, Yes 6, No 7,
// Try Again 10, Continue 11).
int DefaultAnswer(unsigned flags) {
  static const std::vector<int> kButtons[] = {{1}, {1, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7}, {4, 2}, {2, 10, 11}};
  const unsigned type = flags & 0xF;
  if (type >= sizeof(kButtons) / sizeof(kButtons[0])) return plat::kIdOk;
  const auto& buttons = kButtons[type];
  const unsigned def = (flags >> 8) & 0xF;  // MB_DEFBUTTON1..4
  return def < buttons.size() ? buttons[def] : buttons[0];
}

}  // namespace

int SimDesktop::MessageBox(plat::Handle, const std::string& text, const std::string& caption, unsigned flags) {
  messages_.push_back({text, caption, flags});
  // The simulated user presses the default button at once.
  return DefaultAnswer(flags);
}

}  // namespace sim
