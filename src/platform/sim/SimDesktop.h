#pragma once
// The simulated desktop: for now the message boxes, which the simulated user
// answers at once with their default button.
#include <string>
#include <vector>

#include "platform/Desktop.h"

namespace sim {

struct MessageRecord {
  std::string text, caption;
  unsigned flags = 0;
};

class SimDesktop : public plat::IDesktop {
 public:
  int MessageBox(plat::Handle owner, const std::string& text, const std::string& caption, unsigned flags) override;

  const std::vector<MessageRecord>& Messages() const { return messages_; }

 private:
  std::vector<MessageRecord> messages_;
};

}  // namespace sim
