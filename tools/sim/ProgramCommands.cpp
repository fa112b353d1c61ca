// Scenario commands for setting up the machine, running the program and
// checking what it did (everything but the browsers and the eraser).
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SimRunner.h"
#include "app/MainOndrel.h"
#include "app/Program.h"
#include "base/Bytes.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "lists/ClWin.h"
#include "lists/ListUtils.h"
#include "lists/RunLists.h"
#include "ondrel_version.h"
#include "platform/Services.h"
#include "platform/sim/SimMachine.h"
#include "settings/LogFile.h"

namespace fs = std::filesystem;

namespace sim {

namespace {

const char* const kProgramDir = "C:\\Program Files\\Ondrel\\";
const char* const kSettingsKey = "SOFTWARE\\Morvane\\" ONDREL_PRODUCT_NAME;
const char* const kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

bool ParseRoot(const std::string& text, plat::RegRoot& root, std::string& key) {
  size_t slash = text.find('\\');
  std::string head = UpperCase(text.substr(0, slash));
  key = slash == std::string::npos ? "" : text.substr(slash + 1);
  if (head == "HKCU" || head == "HKEY_CURRENT_USER")
    root = plat::RegRoot::CurrentUser;
  else if (head == "HKLM" || head == "HKEY_LOCAL_MACHINE")
    root = plat::RegRoot::LocalMachine;
  else if (head == "HKCR" || head == "HKEY_CLASSES_ROOT")
    root = plat::RegRoot::ClassesRoot;
  else
    return false;
  return true;
}

bool IsNumber(const std::string& s) {
  if (s.empty()) return false;
  size_t i = (s[0] == '-') ? 1 : 0;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return s.size() <= 11;
}

bool HexBytes(const std::string& hex, std::string& out) {
  out.clear();
  std::string digits;
  for (char c : hex)
    if (c != ',' && c != ' ') digits.push_back(c);
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) {
    int v = 0;
    for (int k = 0; k < 2; ++k) {
      char c = digits[i + k];
      int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
      if (d < 0) return false;
      v = v * 16 + d;
    }
    out.push_back(static_cast<char>(v));
  }
  return true;
}

std::string ToHex(const std::string& bytes) {
  static const char* d = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(d[c >> 4]);
    out.push_back(d[c & 15]);
  }
  return out;
}

// The host file of a Windows path, with its parent folders created.
std::string HostFileForWriting(Runner& r, const std::string& winPath) {
  std::string host = r.Machine().HostPath(winPath);
  std::error_code ec;
  fs::create_directories(fs::path(host).parent_path(), ec);
  return host;
}

int32_t CurrentUnixSec(Runner& r) { return DateTimeToUnixSec(r.Machine().Now()); }

const std::map<std::string, std::pair<std::string, int>>& ListNames() {
  static const std::map<std::string, std::pair<std::string, int>> names = {
      {"allowit", {"allowit.ppe", 3}}, {"closeit", {"closeit.ppe", 1}},
      {"closed", {"closed.ppe", 1}},   {"browsed", {"browsed.ppe", 3}}};
  return names;
}

TWinDescrList* RunTimeList(const Line& line, const std::string& name) {
  if (name == "allow") return AllowList;
  if (name == "close") return CloseList;
  if (name == "closed") return ClosedList;
  if (name == "browsed") return BrowsedList;
  throw ScenarioError(line, "unknown list '" + name + "' (allow, close, closed, browsed)");
}

std::vector<std::string> LogLines(Runner& r) {
  std::vector<std::string> lines;
  std::ifstream in(r.Machine().HostPath(std::string(kProgramDir) + ONDREL_PRODUCT_NAME ".LOG"), std::ios::binary);
  std::string s;
  while (std::getline(in, s)) {
    if (!s.empty() && s.back() == '\r') s.pop_back();
    lines.push_back(s);
  }
  return lines;
}

// --- set-up -------------------------------------------------------------

ONDREL_SIM_COMMAND("clock", When::BeforeStart, [](Runner& r, const Line& l) {
  NeedWords(l, 3, "clock YYYY-MM-DD HH:MM:SS");
  DateTimeParts p;
  char dash1, dash2, c1, c2;
  std::istringstream d(l.words[1]), t(l.words[2]);
  if (!(d >> p.year >> dash1 >> p.month >> dash2 >> p.day) || dash1 != '-' || dash2 != '-' ||
      !(t >> p.hour >> c1 >> p.minute >> c2 >> p.second) || c1 != ':' || c2 != ':' || p.month < 1 ||
      p.month > 12 || p.day < 1 || p.day > 31 || p.hour > 23 || p.minute > 59 || p.second > 59 || p.year < 1900 ||
      p.year > 2100)
    throw ScenarioError(l, "usage: clock YYYY-MM-DD HH:MM:SS");
  r.Machine().SetStartTime(EncodeDateTime(p));
});

ONDREL_SIM_COMMAND("setting", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 3, "setting NAME VALUE");
  const std::string& v = l.words[2];
  r.Machine().Registry().SetValue(plat::RegRoot::CurrentUser, kSettingsKey, l.words[1],
                                  IsNumber(v) ? SimRegistry::Dword(static_cast<uint32_t>(std::stoll(v)))
                                              : SimRegistry::String(v));
});

ONDREL_SIM_COMMAND("registry", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 4, "registry ROOT\\KEY NAME string|dword|binary VALUE  or  registry ROOT\\KEY NAME delete");
  plat::RegRoot root;
  std::string key;
  if (!ParseRoot(l.words[1], root, key)) throw ScenarioError(l, "the root must be HKCU, HKLM or HKCR");
  std::string name = l.words[2] == "@" ? "" : l.words[2];
  const std::string& kind = l.words[3];
  if (kind == "delete") {
    r.Machine().Registry().DeleteValue(root, key, name);
    return;
  }
  NeedWords(l, 5, "registry ROOT\\KEY NAME string|dword|binary VALUE");
  const std::string& v = l.words[4];
  plat::RegValue value;
  if (kind == "string") {
    value = SimRegistry::String(v);
  } else if (kind == "dword") {
    if (!IsNumber(v)) throw ScenarioError(l, "a dword value is a decimal number");
    value = SimRegistry::Dword(static_cast<uint32_t>(std::stoll(v)));
  } else if (kind == "binary") {
    value.type = plat::REG_TYPE_BINARY;
    if (!HexBytes(v, value.data)) throw ScenarioError(l, "binary data is written as hex digits");
  } else {
    throw ScenarioError(l, "the kind must be string, dword, binary or delete");
  }
  if (!r.Machine().Registry().SetValue(root, key, name, value))
    throw ScenarioError(l, "the registry holds no values on a root key, nor keys deeper than 512 levels");
});

ONDREL_SIM_COMMAND("import", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "import FILE.reg");
  fs::path p(l.words[1]);
  if (p.is_relative()) p = fs::path(r.ScenarioDir()) / p;
  std::string error;
  if (!r.Machine().ImportRegFile(p.string(), &error)) throw ScenarioError(l, error);
});

ONDREL_SIM_COMMAND("autostart", When::Any, [](Runner& r, const Line& l) {
  r.Machine().Registry().SetValue(plat::RegRoot::CurrentUser, kRunKey, ONDREL_PRODUCT_NAME,
                                  SimRegistry::String(std::string(kProgramDir) + ONDREL_EXE_NAME));
});

ONDREL_SIM_COMMAND("list", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 4, "list allowit|closeit|closed|browsed REFERRER URL [flags=N] [time=UNIXSEC]");
  auto it = ListNames().find(l.words[1]);
  if (it == ListNames().end()) throw ScenarioError(l, "the list file is allowit, closeit, closed or browsed");
  TWinDescr d;
  d.Referrer = l.words[2];
  d.URL = l.words[3];
  d.Flags = static_cast<int16_t>(it->second.second);
  d.Time = CurrentUnixSec(r);
  std::string v;
  if (Runner::Option(l, "flags", v)) d.Flags = static_cast<int16_t>(Runner::ParseInt(l, v));
  if (Runner::Option(l, "time", v)) d.Time = Runner::ParseInt(l, v);
  std::string line = FormatWinDescr(d);

  std::string host = HostFileForWriting(r, kProgramDir + it->second.first);
  std::string bytes;
  {
    std::ifstream in(host, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  if (bytes.size() < 8) {
    bytes.assign(8, '\0');
    SetLE32(bytes, 0, 1);
  }
  SetLE32(bytes, 4, GetLE32(bytes, 4) + 1);
  AppendLE16(bytes, static_cast<uint16_t>(line.size()));
  bytes += line;
  std::ofstream(host, std::ios::binary | std::ios::trunc) << bytes;
});

ONDREL_SIM_COMMAND("file", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 3, "file PATH TEXT [readonly=1]");
  std::string content = l.words[2];
  if (StartsWith(content, "hex:") && !HexBytes(content.substr(4), content))
    throw ScenarioError(l, "hex: must be followed by pairs of hex digits");
  {
    std::ofstream out(HostFileForWriting(r, l.words[1]), std::ios::binary | std::ios::trunc);
    out << content;
    if (!out) throw ScenarioError(l, "cannot write " + l.words[1]);
  }
  std::string v;
  if (Runner::Option(l, "readonly", v) && v != "0") {
    if (v != "1") throw ScenarioError(l, "readonly=1 or readonly=0");
    r.Machine().Files().SetAttributes(l.words[1], plat::FA_READONLY);
  }
});

ONDREL_SIM_COMMAND("lock", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "lock PATH");
  // Held open the way a running program holds its files: others may read.
  r.Machine().LockFile(l.words[1], true);
});

ONDREL_SIM_COMMAND("link", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 3, "link PATH TARGET");
  std::string host = HostFileForWriting(r, l.words[1]);
  std::error_code ec;
  fs::create_directory_symlink(r.Machine().HostPath(l.words[2]), host, ec);
  if (ec) throw ScenarioError(l, "cannot create the link: " + ec.message());
});

// --- the program --------------------------------------------------------

ONDREL_SIM_COMMAND("start", When::Any, [](Runner& r, const Line& l) { ProgramStartup(); });

ONDREL_SIM_COMMAND("wait", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "wait SECONDS");
  int64_t ms = static_cast<int64_t>(std::llround(Runner::ParseSeconds(l, l.words[1]) * 1000.0));
  r.Machine().RunUntil(r.Machine().NowMs() + ms);
});

ONDREL_SIM_COMMAND("tray", When::AfterStart, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "tray click|dblclick [gap=T]");
  if (l.words[1] != "click" && l.words[1] != "dblclick") throw ScenarioError(l, "usage: tray click|dblclick [gap=T]");
  std::string v;
  const double gap = Runner::Option(l, "gap", v) ? Runner::ParseSeconds(l, v) : 0.0;
  if (!r.Machine().Tray().active) {
    r.Fail(l, "the tray icon is not shown, so it cannot be clicked");
    return;
  }
  if (l.words[1] == "click")
    r.Machine().TrayClick();
  else
    r.Machine().Ui().TrayDblClick(std::llround(gap * 1000.0));
});

ONDREL_SIM_COMMAND("debug", When::AfterStart, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "debug on|off");
  if (l.words[1] != "on" && l.words[1] != "off") throw ScenarioError(l, "usage: debug on|off");
  if (ProgramRunning()) SetDebugMode(l.words[1] == "on");
});

ONDREL_SIM_COMMAND("exit", When::AfterStart, [](Runner& r, const Line& l) {
  if (!ProgramRunning() || !FormGarvel) return;
  // The user picks the menu's exit item; the menu hangs off the tray icon.
  const auto& items = FormGarvel->PopupMenu1.Items;
  size_t index = 0;
  while (index < items.size() && items[index] != &FormGarvel->Exit1) ++index;
  if (r.Machine().Tray().active)
    r.Machine().TrayChoose(index);
  else
    ui::Application.Guard([] { FormGarvel->Exit1Click(); });
});

ONDREL_SIM_COMMAND("session-end", When::AfterStart, [](Runner& r, const Line& l) {
  if (!ProgramRunning()) return;
  bool yes = r.Machine().QueryEndSession();
  // Inside a modal window's loop the session's end waits until the loop has
  // returned; the program shuts down then, as its exit sequence ran.
  if (!r.Machine().Windows().ModalStack().empty()) return;
  r.Machine().EndSession(yes);
});

ONDREL_SIM_COMMAND("report", When::Any, [](Runner& r, const Line& l) { PrintReport(r); });

// --- checks -------------------------------------------------------------

ONDREL_SIM_EXPECT("list", [](Runner& r, const Line& l) {
  NeedWords(l, 4, "expect list LIST count=N | expect list LIST INDEX [referrer=S] [url=S] [flags=N] [elapsed=S] [time=UNIXSEC]");
  TWinDescrList* list = RunTimeList(l, l.words[2]);
  if (!list) {
    r.Fail(l, "the lists are not loaded (the program is not running)");
    return;
  }
  std::string v;
  if (StartsWith(l.words[3], "count=")) {
    int want = Runner::ParseInt(l, l.words[3].substr(6));
    if (list->Count() != want) r.Fail(l, Format("list %s has %d entries, not %d", {l.words[2], list->Count(), want}));
    return;
  }
  int index = Runner::ParseInt(l, l.words[3]);
  if (index < 0 || index >= list->Count()) {
    r.Fail(l, Format("list %s has no entry %d (it has %d)", {l.words[2], index, list->Count()}));
    return;
  }
  TWinDescr d;
  list->GetDescr(index, d);
  auto check = [&](const char* field, const std::string& have) {
    std::string want;
    if (Runner::Option(l, field, want) && want != have)
      r.Fail(l, Format("entry %d of %s: %s is '%s', not '%s'", {index, l.words[2], field, have, want}));
  };
  check("referrer", d.Referrer);
  check("url", d.URL);
  check("flags", std::to_string(d.Flags));
  check("elapsed", d.Elapsed);
  check("time", std::to_string(d.Time));
});

ONDREL_SIM_EXPECT("log", [](Runner& r, const Line& l) {
  NeedWords(l, 3, "expect log \"TEXT\"");
  for (const std::string& s : LogLines(r))
    if (s.find(l.words[2]) != std::string::npos) return;
  r.Fail(l, "no log line contains '" + l.words[2] + "'");
});

ONDREL_SIM_EXPECT("no-log", [](Runner& r, const Line& l) {
  NeedWords(l, 3, "expect no-log \"TEXT\"");
  for (const std::string& s : LogLines(r))
    if (s.find(l.words[2]) != std::string::npos) {
      r.Fail(l, "a log line contains '" + l.words[2] + "': " + s);
      return;
    }
});

ONDREL_SIM_EXPECT("sounds", [](Runner& r, const Line& l) {
  NeedWords(l, 3, "expect sounds N");
  int want = Runner::ParseInt(l, l.words[2]);
  int have = static_cast<int>(r.Machine().Sounds().size());
  if (have != want) r.Fail(l, Format("%d alert sounds were played, not %d", {have, want}));
});

ONDREL_SIM_EXPECT("message", [](Runner& r, const Line& l) {
  NeedWords(l, 3, "expect message \"TEXT\"");
  for (const auto& m : r.Machine().Messages())
    if (m.text.find(l.words[2]) != std::string::npos) return;
  r.Fail(l, "no message box showed '" + l.words[2] + "'");
});

ONDREL_SIM_EXPECT("tray", [](Runner& r, const Line& l) {
  NeedWords(l, 3, "expect tray shown=0|1 icon=0|1 hint=TEXT");
  SimMachine::TrayState t = r.Machine().Tray();
  std::map<std::string, std::string> have = {
      {"shown", t.active ? "1" : "0"}, {"icon", std::to_string(t.icon)}, {"hint", t.hint}};
  for (size_t i = 2; i < l.words.size(); ++i) {
    const std::string& w = l.words[i];
    size_t eq = w.find('=');
    if (eq == std::string::npos || !have.count(w.substr(0, eq)))
      throw ScenarioError(l, "the tray fields are shown, icon and hint");
    std::string field = w.substr(0, eq), want = w.substr(eq + 1);
    if (have[field] != want) r.Fail(l, "tray " + field + " is '" + have[field] + "', not '" + want + "'");
  }
});

ONDREL_SIM_EXPECT("registry", [](Runner& r, const Line& l) {
  NeedWords(l, 4, "expect registry ROOT\\KEY NAME=VALUE | expect registry ROOT\\KEY exists|absent");
  plat::RegRoot root;
  std::string key;
  if (!ParseRoot(l.words[2], root, key)) throw ScenarioError(l, "the root must be HKCU, HKLM or HKCR");
  if (l.words[3] == "exists" || l.words[3] == "absent") {
    const bool exists = r.Machine().Registry().KeyExists(root, key);
    if (exists != (l.words[3] == "exists"))
      r.Fail(l, "key " + l.words[2] + (exists ? " exists" : " does not exist"));
    return;
  }
  size_t eq = l.words[3].find('=');
  if (eq == std::string::npos) throw ScenarioError(l, "usage: expect registry ROOT\\KEY NAME=VALUE");
  std::string name = l.words[3].substr(0, eq), want = l.words[3].substr(eq + 1);
  if (name == "@") name.clear();
  plat::RegValue v;
  bool present = r.Machine().Registry().GetValue(root, key, name, v);
  std::string have;
  if (present) {
    if (v.type == plat::REG_TYPE_SZ || v.type == plat::REG_TYPE_EXPAND_SZ) {
      have = v.data.substr(0, v.data.find('\0'));
    } else if (v.type == plat::REG_TYPE_DWORD && v.data.size() == 4) {
      have = std::to_string(static_cast<int32_t>(GetLE32(v.data, 0)));
    } else {
      have = ToHex(v.data);
    }
  }
  if (want.empty()) {
    if (present) r.Fail(l, "value " + l.words[2] + "\\" + name + " is present ('" + have + "'), expected absent");
  } else if (!present) {
    r.Fail(l, "value " + l.words[2] + "\\" + name + " is absent, expected '" + want + "'");
  } else if (have != want && !(v.type == plat::REG_TYPE_BINARY && LowerCase(want) == have)) {
    r.Fail(l, "value " + l.words[2] + "\\" + name + " is '" + have + "', not '" + want + "'");
  }
});

ONDREL_SIM_EXPECT("file", [](Runner& r, const Line& l) {
  NeedWords(l, 4, "expect file PATH exists|absent");
  if (l.words[3] != "exists" && l.words[3] != "absent") throw ScenarioError(l, "usage: expect file PATH exists|absent");
  std::error_code ec;
  bool exists = fs::symlink_status(r.Machine().HostPath(l.words[2]), ec).type() != fs::file_type::not_found && !ec;
  if (exists != (l.words[3] == "exists"))
    r.Fail(l, l.words[2] + (exists ? " exists" : " does not exist"));
});

}  // namespace

void PrintReport(Runner& r) {
  PrintWindowReport(r);
  for (const std::string& s : r.Machine().Sounds()) r.Print("sound " + s);
  for (const auto& m : r.Machine().Messages()) r.Print("message " + m.text);
  SimMachine::TrayState t = r.Machine().Tray();
  r.Print(Format("tray shown=%d icon=%d hint=%s", {t.active ? 1 : 0, t.icon, t.hint}));
  PrintFormReport(r);
}

}  // namespace sim
