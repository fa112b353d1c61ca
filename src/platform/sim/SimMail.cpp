#include "platform/sim/SimMail.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/sim/SimFiles.h"

namespace fs = std::filesystem;

namespace sim {

namespace {

std::string Base64(const std::string& bytes, size_t lineLength) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t column = 0;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - i);
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k)
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    for (size_t k = 0; k < 4; ++k) out.push_back(k <= n ? kDigits[(group >> (18 - 6 * k)) & 63] : '=');
    column += 4;
    if (lineLength && column >= lineLength && i + 3 < bytes.size()) {
      out += "\r\n";
      column = 0;
    }
  }
  return out;
}

bool IsAscii(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Header text outside ASCII goes as an encoded word in the program's code page.
std::string HeaderText(const std::string& s) {
  return IsAscii(s) ? s : "=?windows-1252?B?" + Base64(s, 0) + "?=";
}

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// "Name <address>"; a name with the characters that separate addresses is quoted.
std::string Mailbox(const std::string& name, const std::string& address) {
  if (name.empty()) return "<" + address + ">";
  std::string shown = HeaderText(name);
  if (shown == name && name.find_first_of("()<>[]:;@\\,.\"") != std::string::npos) shown = Quoted(name);
  return shown + " <" + address + ">";
}

// Mail lines end in CR LF, whatever line ends the text had.
std::string CrLfLines(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

std::string MailFile(const SimMail::Record& r, int number) {
  const plat::MailMessage& m = r.message;
  const std::string body = CrLfLines(m.body);
  std::string boundary = "=_ondrel_part_" + std::to_string(number);
  while (body.find(boundary) != std::string::npos) boundary += "_";
  std::string out;
  out += "From: " + Mailbox(m.senderName, m.senderAddress) + "\r\n";
  out += "To: " + m.to + "\r\n";
  out += "Subject: " + HeaderText(m.subject) + "\r\n";
  out += "MIME-Version: 1.0\r\n";
  // What the mail system answered: a refused message was handed over all the same.
  out += "X-Ondrel-Sent: " + std::string(r.result.sent ? "1" : "0") + "\r\n";
  if (!r.result.sent) out += "X-Ondrel-Refused: " + std::to_string(r.result.code) + " " + r.result.reason + "\r\n";
  out += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
  out += "--" + boundary + "\r\n";
  out += "Content-Type: text/plain; charset=windows-1252\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
  out += body + "\r\n";
  out += "--" + boundary + "\r\n";
  const std::string name = Quoted(HeaderText(m.attachmentName));
  out += "Content-Type: application/octet-stream; name=" + name + "\r\n";
  out += "Content-Transfer-Encoding: base64\r\n";
  out += "Content-Disposition: attachment; filename=" + name + "\r\n\r\n";
  if (!r.attached.empty()) out += Base64(r.attached, 76) + "\r\n";
  out += "--" + boundary + "--\r\n";
  return out;
}

plat::MailResult Refused(unsigned long code, const std::string& reason) {
  plat::MailResult result;
  result.code = code;
  result.reason = reason;
  return result;
}

}  // namespace

SimMail::SimMail(SimFiles& files, std::string outbox) : files_(files), folder_(std::move(outbox)) {}

plat::MailResult SimMail::Attach(const std::string& path, std::string& content) {
  // A mail program refuses a message whose file it cannot read; it sends
  // nothing then.
  if (!files_.FileExists(path)) return Refused(plat::MAIL_E_ATTACHMENT_NOT_FOUND, "attachment not found: " + path);
  std::string error;
  std::unique_ptr<plat::IFile> file = files_.Open(path, plat::OpenMode::Read, &error);
  if (!file) return Refused(plat::MAIL_E_ATTACHMENT_OPEN_FAILURE, "attachment cannot be opened: " + path);
  char buf[65536];
  for (size_t n; (n = file->Read(buf, sizeof buf)) > 0;) content.append(buf, n);
  return {true, plat::MAIL_SUCCESS, ""};
}

plat::MailResult SimMail::Send(const plat::MailMessage& message) {
  Record r;
  r.message = plat::ForHandOver(message);
  r.result = missing_ ? Refused(plat::MAIL_E_FAILURE, "no mail program is installed")
                      : Attach(r.message.attachmentPath, r.attached);
  const int number = static_cast<int>(outbox_.size()) + 1;
  r.file = folder_ + "/" + std::to_string(number) + ".eml";
  // The outbox is the simulator's record, not part of the simulated
  // machine: a host error there does not change what the mail system said.
  std::error_code ec;
  fs::create_directories(folder_, ec);
  std::ofstream(r.file, std::ios::binary) << MailFile(r, number);
  outbox_.push_back(r);
  return r.result;
}

}  // namespace sim
