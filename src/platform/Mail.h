#pragma once
// The user's mail system: one message with one attached file, handed over
// without the mail program's compose window and without a logon prompt.
#include <string>

namespace plat {

struct MailMessage {
  std::string subject;
  std::string to;             // the one primary recipient's address
  std::string senderName;
  std::string senderAddress;
  std::string body;           // plain text, lines ended by CR LF
  std::string attachmentPath; // full Windows path of the file attached
  std::string attachmentName; // the name the file is shown under, without folder
};

// The mail system's answers, numbered as Simple MAPI numbers them.
enum MailCode : unsigned long {
  MAIL_SUCCESS = 0,
  MAIL_E_USER_ABORT = 1,
  MAIL_E_FAILURE = 2,
  MAIL_E_ATTACHMENT_NOT_FOUND = 11,
  MAIL_E_ATTACHMENT_OPEN_FAILURE = 12,
};

struct MailResult {
  bool sent = false;
  unsigned long code = MAIL_SUCCESS;  // the mail system's answer; MAIL_E_FAILURE when there was none
  std::string reason;                 // plain words for a refusal, "" when sent
};

class IMail {
 public:
  virtual ~IMail() = default;
  // Hands the message over and returns once the mail system has answered
  // (or has been given up on). A refusal is a result, never an exception.
  virtual MailResult Send(const MailMessage& message) = 0;
};

// The message as both backends hand it over: the header fields (subject,
// addresses, names) on one line each, so that a line break typed into one
// of them cannot add header lines of its own; the shown name defaults to
// the file's own name.
MailMessage ForHandOver(const MailMessage& message);

}  // namespace plat
