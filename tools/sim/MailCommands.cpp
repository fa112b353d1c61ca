// The mail system in scenarios: the fault that takes it away and the checks
// of the messages handed to it.
#include <map>

#include "SimRunner.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "platform/sim/SimMachine.h"

namespace sim {

namespace {

const char* const kUsage =
    "usage: expect mail count=N | expect mail INDEX FIELD=VALUE... "
    "(subject to name address body attachment attached sent)";

// The fields as the mail system got them. Texts are compared as report
// lines show them, so that a body's line breaks are written \r\n.
std::map<std::string, std::string> Fields(const SimMail::Record& m) {
  return {{"subject", m.message.subject},
          {"to", m.message.to},
          {"name", m.message.senderName},
          {"address", m.message.senderAddress},
          {"body", ReportText(m.message.body)},
          {"attachment", m.message.attachmentName},
          {"attached", ReportText(m.attached)},
          {"sent", m.result.sent ? "1" : "0"}};
}

ONDREL_SIM_EXPECT("mail", [](Runner& r, const Line& l) {
  if (l.words.size() < 3) throw ScenarioError(l, kUsage);
  const auto& outbox = r.Machine().Mail().Outbox();
  const int count = static_cast<int>(outbox.size());
  if (StartsWith(l.words[2], "count=")) {
    if (l.words.size() != 3) throw ScenarioError(l, kUsage);
    const int want = Runner::ParseInt(l, l.words[2].substr(6));
    if (count != want) r.Fail(l, Format("messages handed to the mail system: %d, not %d", {count, want}));
    return;
  }
  const int index = Runner::ParseInt(l, l.words[2]);
  if (index < 0 || l.words.size() < 4) throw ScenarioError(l, kUsage);
  // The checks are read whole before the message is looked at, so that a
  // misspelt field stops the scenario even when the message is missing.
  const std::map<std::string, std::string> none = Fields({});
  for (size_t i = 3; i < l.words.size(); ++i) {
    const std::string& w = l.words[i];
    const size_t eq = w.find('=');
    if (eq == std::string::npos || !none.count(w.substr(0, eq))) throw ScenarioError(l, "'" + w + "': " + kUsage);
    if (w.substr(0, eq) == "sent" && w != "sent=0" && w != "sent=1") throw ScenarioError(l, "sent is 0 or 1");
  }
  if (index >= count) return r.Fail(l, Format("no message %d: %d were handed to the mail system", {index, count}));
  const std::map<std::string, std::string> have = Fields(outbox[index]);
  for (size_t i = 3; i < l.words.size(); ++i) {
    const std::string& w = l.words[i];
    const size_t eq = w.find('=');
    const std::string field = w.substr(0, eq), want = w.substr(eq + 1);
    const std::string& value = have.at(field);
    if (field == "attached") {
      if (value.find(want) == std::string::npos)
        r.Fail(l, Format("mail %d: the attached file does not contain '%s'", {index, want}));
    } else if (value != want) {
      r.Fail(l, Format("mail %d %s is '%s', not '%s'", {index, field, value, want}));
    }
  }
});

}  // namespace

void FaultMail(Runner& r) { r.Machine().Mail().SetMissing(true); }

}  // namespace sim
