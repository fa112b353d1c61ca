#pragma once
// The simulated mail system. Every message handed to it, refused ones too,
// is kept in order and written as a mail file OUTBOX/1.eml, 2.eml, ...,
// where a person can open it with a mail reader. The attached file is read
// from the simulated drives when the message is handed over, as a mail
// program reads it then.
#include <string>
#include <vector>

#include "platform/Mail.h"

namespace sim {

class SimFiles;

class SimMail : public plat::IMail {
 public:
  // |outbox| is a host folder; it is created with the first message.
  SimMail(SimFiles& files, std::string outbox);

  plat::MailResult Send(const plat::MailMessage& message) override;

  // From now on no mail program is installed: every message is refused.
  void SetMissing(bool missing) { missing_ = missing; }

  struct Record {
    plat::MailMessage message;  // as the mail system got it
    std::string attached;       // the attached file's content ("" when it was not read)
    plat::MailResult result;
    std::string file;           // host path of its mail file
  };
  const std::vector<Record>& Outbox() const { return outbox_; }
  const std::string& OutboxFolder() const { return folder_; }

 private:
  plat::MailResult Attach(const std::string& path, std::string& content);

  SimFiles& files_;
  std::string folder_;
  bool missing_ = false;
  std::vector<Record> outbox_;
};

}  // namespace sim
