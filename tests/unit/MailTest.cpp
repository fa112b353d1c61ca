// The simulated mail system: what it keeps of each message, the mail files
// it writes, and the refusals a real mail program gives.
#include "platform/sim/SimMail.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "SimTestUtil.h"
#include "base/StrUtils.h"
#include "platform/sim/SimMachine.h"

namespace {

class MailTest : public ::testing::Test {
 protected:
  MailTest() : machine({dir.path(), ""}) {
    machine.Install();
    machine.Files().PutFile("C:\\Program Files\\Ondrel\\Ondrel.LOG", "log line\r\n");
  }

  static plat::MailMessage Message() {
    plat::MailMessage m;
    m.subject = "Ondrel: Bug Report";
    m.to = "support@morvane.example";
    m.senderName = "Jo User";
    m.senderAddress = "jo@example.com";
    m.body = "It crashed.\r\nTwice.";
    m.attachmentPath = "C:\\Program Files\\Ondrel\\Ondrel.LOG";
    m.attachmentName = "Ondrel.LOG";
    return m;
  }

  std::string MailFile(int number) { return simtest::ReadHostFile(dir.path() + "/outbox/" + std::to_string(number) + ".eml"); }

  // The header lines of a mail file, up to the blank line.
  std::vector<std::string> Headers(const std::string& mail) {
    std::vector<std::string> lines;
    for (const std::string& line : Split(mail.substr(0, mail.find("\r\n\r\n")), '\n')) lines.push_back(Trim(line));
    return lines;
  }

  simtest::TempDir dir;
  sim::SimMachine machine;
};

TEST_F(MailTest, EachMessageBecomesAMailFileWithItsTextAndTheFileAsItWasThen) {
  const plat::MailResult first = plat::Mail().Send(Message());
  EXPECT_TRUE(first.sent);
  EXPECT_EQ(first.code, plat::MAIL_SUCCESS);
  // The log grows after the first message: the second carries it as it is then.
  machine.Files().PutFile("C:\\Program Files\\Ondrel\\Ondrel.LOG", std::string(100, 'x'));
  EXPECT_TRUE(plat::Mail().Send(Message()).sent);

  const auto& outbox = machine.Mail().Outbox();
  ASSERT_EQ(outbox.size(), 2u);
  EXPECT_EQ(outbox[0].attached, "log line\r\n");
  EXPECT_EQ(outbox[1].attached, std::string(100, 'x'));
  EXPECT_EQ(outbox[0].message.body, "It crashed.\r\nTwice.");

  const std::string mail = MailFile(1);
  const std::vector<std::string> headers = Headers(mail);
  for (const char* h : {"From: Jo User <jo@example.com>", "To: support@morvane.example",
                        "Subject: Ondrel: Bug Report", "MIME-Version: 1.0", "X-Ondrel-Sent: 1"})
    EXPECT_NE(std::find(headers.begin(), headers.end(), h), headers.end()) << h << "\n" << mail;
  EXPECT_NE(mail.find("Content-Type: text/plain; charset=windows-1252\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
                      "It crashed.\r\nTwice.\r\n--"),
            std::string::npos)
      << mail;
  EXPECT_NE(mail.find("Content-Disposition: attachment; filename=\"Ondrel.LOG\"\r\n\r\nbG9nIGxpbmUNCg==\r\n--"),
            std::string::npos)
      << mail;

  // A longer file is written in lines of 76 characters.
  auto groups = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "eHh4";  // "xxx"
    return s;
  };
  const std::string second = MailFile(2);
  EXPECT_NE(second.find("\r\n\r\n" + groups(19) + "\r\n" + groups(14) + "eA==\r\n--"), std::string::npos) << second;
}

TEST_F(MailTest, RefusedMessagesAreKeptAndWrittenWithTheMailProgramsCode) {
  struct Case {
    const char* what;
    void (*prepare)(sim::SimMachine&, plat::MailMessage&);
    unsigned long code;
  } cases[] = {
      {"no mail program", [](sim::SimMachine& m, plat::MailMessage&) { m.Mail().SetMissing(true); },
       plat::MAIL_E_FAILURE},
      {"attachment missing", [](sim::SimMachine&, plat::MailMessage& msg) { msg.attachmentPath = "C:\\gone.log"; },
       plat::MAIL_E_ATTACHMENT_NOT_FOUND},
      {"attachment is a folder", [](sim::SimMachine&, plat::MailMessage& msg) { msg.attachmentPath = "C:\\WINDOWS"; },
       plat::MAIL_E_ATTACHMENT_NOT_FOUND},
      {"attachment held open by another program",
       [](sim::SimMachine& m, plat::MailMessage& msg) { m.LockFile(msg.attachmentPath); },
       plat::MAIL_E_ATTACHMENT_OPEN_FAILURE},
  };
  for (const Case& c : cases) {
    sim::SimMachine m({dir.path(), ""});
    m.Install();
    m.Files().PutFile("C:\\Program Files\\Ondrel\\Ondrel.LOG", "log line\r\n");
    plat::MailMessage msg = Message();
    c.prepare(m, msg);
    const plat::MailResult r = plat::Mail().Send(msg);
    EXPECT_FALSE(r.sent) << c.what;
    EXPECT_EQ(r.code, c.code) << c.what;
    EXPECT_FALSE(r.reason.empty()) << c.what;
    ASSERT_EQ(m.Mail().Outbox().size(), 1u) << c.what;
    EXPECT_EQ(m.Mail().Outbox()[0].attached, "") << c.what;
    const std::vector<std::string> headers = Headers(MailFile(1));
    EXPECT_NE(std::find(headers.begin(), headers.end(), "X-Ondrel-Sent: 0"), headers.end()) << c.what;
  }
}

TEST_F(MailTest, HeaderFieldsStayOnOneLineAndNamesAreWrittenSafely) {
  plat::MailMessage m = Message();
  // A name pasted with a line break must not add a header of its own.
  m.senderName = "Eve\r\nBcc: victim@example.com";
  m.subject = "Bug\nReport ";
  m.attachmentName = "";
  EXPECT_TRUE(plat::Mail().Send(m).sent);
  m = Message();
  m.senderName = "User, Jo \"JJ\"";
  m.body = "one\ntwo\rthree";
  plat::Mail().Send(m);
  m.senderName = "J\xFCrgen";  // windows-1252
  plat::Mail().Send(m);

  const auto& outbox = machine.Mail().Outbox();
  ASSERT_EQ(outbox.size(), 3u);
  EXPECT_EQ(outbox[0].message.senderName, "Eve  Bcc: victim@example.com");
  EXPECT_EQ(outbox[0].message.subject, "Bug Report");
  EXPECT_EQ(outbox[0].message.attachmentName, "Ondrel.LOG");  // the file's own name when none is given
  const std::vector<std::string> headers = Headers(MailFile(1));
  for (const std::string& h : headers) EXPECT_FALSE(StartsWith(h, "Bcc")) << h;
  EXPECT_NE(std::find(headers.begin(), headers.end(), "From: \"Eve  Bcc: victim@example.com\" <jo@example.com>"),
            headers.end());

  EXPECT_NE(MailFile(2).find("From: \"User, Jo \\\"JJ\\\"\" <jo@example.com>\r\n"), std::string::npos) << MailFile(2);
  EXPECT_NE(MailFile(2).find("\r\n\r\none\r\ntwo\r\nthree\r\n--"), std::string::npos) << MailFile(2);
  EXPECT_EQ(outbox[1].message.body, "one\ntwo\rthree");  // kept as handed over
  EXPECT_NE(MailFile(3).find("From: =?windows-1252?B?SvxyZ2Vu?= <jo@example.com>\r\n"), std::string::npos)
      << MailFile(3);
}

}  // namespace
