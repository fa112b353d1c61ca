#include "platform/Mail.h"

#include "base/StrUtils.h"

namespace plat {

namespace {

// Control characters (CR, LF, tab and the rest) become blanks, and the
// blanks at both ends go.
std::string OneLine(const std::string& text) {
  std::string out = text;
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return Trim(out);
}

}  // namespace

MailMessage ForHandOver(const MailMessage& message) {
  MailMessage m = message;
  m.subject = OneLine(m.subject);
  m.to = OneLine(m.to);
  m.senderName = OneLine(m.senderName);
  m.senderAddress = OneLine(m.senderAddress);
  m.attachmentName = OneLine(m.attachmentName.empty() ? ExtractFileName(m.attachmentPath) : m.attachmentName);
  return m;
}

}  // namespace plat
