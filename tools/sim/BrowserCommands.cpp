// Scenario commands for the browser windows, the dialog windows and the
// user's mouse and keyboard, and the check of a window's report fields.
#include <cmath>
#include <cstdlib>

#include "SimRunner.h"
#include "base/Format.h"
#include "platform/sim/SimMachine.h"

namespace sim {

namespace {

SimBrowsers& Browsers(Runner& r) { return r.Machine().Browsers(); }
SimDesktop& Desk(Runner& r) { return r.Machine().Desktop(); }

bool IsName(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  return true;
}

// A name for a window still to come: letters and digits, not yet taken.
std::string NewName(Runner& r, const Line& l, const std::string& name) {
  if (!IsName(name)) throw ScenarioError(l, "a window name is made of letters and digits: '" + name + "'");
  if (Browsers(r).Known(name)) throw ScenarioError(l, "the window name '" + name + "' is taken");
  // "expect NAME ..." must reach the window, not another check.
  if (Expects().count(name)) throw ScenarioError(l, "'" + name + "' names a check; choose another window name");
  return name;
}

// The window a command names: known to the scenario (it may be gone, or not
// have come at all; then its handle is 0).
plat::Handle WindowOf(Runner& r, const Line& l, const std::string& name) {
  if (!Browsers(r).Known(name)) throw ScenarioError(l, "unknown window '" + name + "'");
  return Browsers(r).HandleOf(name);
}

// The same for a window that must be a browser (0 while it is not open yet).
plat::Handle BrowserOf(Runner& r, const Line& l, const std::string& name) {
  const plat::Handle h = WindowOf(r, l, name);
  if (h && !Browsers(r).IsBrowser(h)) throw ScenarioError(l, "'" + name + "' is no browser window");
  return h;
}

// "as NAME" after the positional words, or "" when absent.
std::string AsName(Runner& r, const Line& l) {
  for (size_t i = 1; i + 1 < l.words.size(); ++i)
    if (l.words[i] == "as") return NewName(r, l, l.words[i + 1]);
  return {};
}

int64_t Millis(const Line& l, const std::string& key, double defaultSeconds) {
  std::string v;
  const double s = Runner::Option(l, key, v) ? Runner::ParseSeconds(l, v) : defaultSeconds;
  return static_cast<int64_t>(std::llround(s * 1000.0));
}

bool ParseInts(const std::string& text, std::vector<int>& out, size_t count) {
  out.clear();
  size_t i = 0;
  while (i <= text.size()) {
    size_t comma = text.find(',', i);
    std::string part = text.substr(i, comma == std::string::npos ? std::string::npos : comma - i);
    char* end = nullptr;
    long v = std::strtol(part.c_str(), &end, 10);
    if (part.empty() || *end != '\0' || v < -100000 || v > 100000) return false;
    out.push_back(static_cast<int>(v));
    if (comma == std::string::npos) break;
    i = comma + 1;
  }
  return out.size() == count;
}

plat::Point ParsePoint(const Line& l, const std::string& text) {
  std::vector<int> v;
  if (!ParseInts(text, v, 2)) throw ScenarioError(l, "a point is written X,Y: '" + text + "'");
  return {v[0], v[1]};
}

plat::Handle ParseHandle(const Line& l, const std::string& text) {
  std::string t = text;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
  char* end = nullptr;
  unsigned long long v = std::strtoull(t.c_str(), &end, 16);
  if (t.empty() || *end != '\0' || v == 0 || v > 0xFFFFFFFFull)
    throw ScenarioError(l, "a window handle is a hex number: '" + text + "'");
  return static_cast<plat::Handle>(v);
}

int KeyOf(const Line& l, const std::string& name) {
  if (name == "ctrl") return plat::VK_CONTROL_;
  if (name == "enter") return plat::VK_RETURN_;
  throw ScenarioError(l, "the keys are ctrl and enter");
}

// The optional point after the name, when the word is no option.
bool PointWord(const Line& l, size_t index, plat::Point& p) {
  if (index >= l.words.size() || l.words[index].find('=') != std::string::npos) return false;
  p = ParsePoint(l, l.words[index]);
  return true;
}

void Click(Runner& r, const Line& l, bool primary) {
  const plat::Handle h = WindowOf(r, l, l.words[1]);
  SimDesktop& desk = Desk(r);
  plat::Point p;
  if (!PointWord(l, 2, p)) {
    // The middle of the document window of a browser, else of the window itself.
    // A window that is not there is clicked where the cursor stands.
    plat::Handle target = h;
    if (plat::Handle host = h ? desk.FindWindowEx(h, 0, "Shell DocObject View") : 0)
      if (plat::Handle doc = desk.FindWindowEx(host, 0, "Internet Explorer_Server")) target = doc;
    plat::Rect rc;
    if (target && desk.GetWindowRect(target, rc)) p = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    else desk.GetCursorPos(p);
  }
  if (desk.Exists(h)) desk.BringToFront(h);
  desk.SetCursor(p);
  // The primary button is the left one unless the user swapped them.
  const bool left = primary != desk.SwapButtons();
  desk.Hold(left ? plat::VK_LBUTTON_ : plat::VK_RBUTTON_, Millis(l, "hold", 0.12));
}

std::string HexOf(plat::Handle h) { return Format("%x", {static_cast<unsigned long long>(h)}); }

// --- windows and pages -------------------------------------------------------

ONDREL_SIM_COMMAND("browser", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "browser NAME [url=URL] [rect=L,T,R,B] [hwnd=H] [process=FILE] [visible=0]");
  BrowserOptions o;
  const std::string name = NewName(r, l, l.words[1]);
  std::string v;
  if (Runner::Option(l, "url", v)) o.url = v.empty() ? "about:blank" : v;
  if (Runner::Option(l, "rect", v)) {
    std::vector<int> n;
    if (!ParseInts(v, n, 4) || n[2] <= n[0] || n[3] <= n[1])
      throw ScenarioError(l, "a rectangle is written LEFT,TOP,RIGHT,BOTTOM: '" + v + "'");
    o.rect = {n[0], n[1], n[2], n[3]};
  }
  if (Runner::Option(l, "hwnd", v)) {
    o.hwnd = ParseHandle(l, v);
    if (Desk(r).Window(o.hwnd)) throw ScenarioError(l, "the window handle " + v + " is taken");
  }
  if (Runner::Option(l, "process", v)) {
    if (v.empty()) throw ScenarioError(l, "process= needs a file name");
    o.process = v;
  }
  if (Runner::Option(l, "visible", v)) {
    if (v != "0" && v != "1") throw ScenarioError(l, "visible is 0 or 1");
    o.visible = v == "1";
  }
  Browsers(r).OpenBrowser(name, o, r.Started());
});

ONDREL_SIM_COMMAND("navigate", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 3, "navigate NAME URL [load=T]");
  const plat::Handle h = BrowserOf(r, l, l.words[1]);
  Browsers(r).Navigate(h, l.words[2].empty() ? "about:blank" : l.words[2], Millis(l, "load", 0.5));
});

ONDREL_SIM_COMMAND("frame", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 3, "frame NAME URL [load=T]");
  const plat::Handle h = BrowserOf(r, l, l.words[1]);
  Browsers(r).NavigateFrame(h, l.words[2].empty() ? "about:blank" : l.words[2], Millis(l, "load", 0.5));
});

ONDREL_SIM_COMMAND("open", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 3, "open NAME URL [as CHILD] [load=T]");
  const plat::Handle h = BrowserOf(r, l, l.words[1]);
  const std::string child = AsName(r, l);
  if (!child.empty()) Browsers(r).Declare(child);
  Browsers(r).RequestNewWindow(h, l.words[2].empty() ? "about:blank" : l.words[2], child, Millis(l, "load", 0.5),
                               false);
});

ONDREL_SIM_COMMAND("plugin-open", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "plugin-open NAME [as CHILD]");
  const plat::Handle h = BrowserOf(r, l, l.words[1]);
  const std::string child = AsName(r, l);
  if (!child.empty()) Browsers(r).Declare(child);
  Browsers(r).RequestNewWindow(h, "", child, 0, true);
});

ONDREL_SIM_COMMAND("app-open", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "app-open URL [as NAME]");
  const std::string name = AsName(r, l);
  Browsers(r).AppOpen(name, l.words[1].empty() ? "about:blank" : l.words[1], r.Started());
});

ONDREL_SIM_COMMAND("dialog", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "dialog NAME [as D] [owner=none]");
  const plat::Handle h = WindowOf(r, l, l.words[1]);
  std::string v;
  const bool owned = !(Runner::Option(l, "owner", v) && v == "none");
  if (Runner::Option(l, "owner", v) && v != "none") throw ScenarioError(l, "the only owner option is owner=none");
  const std::string name = AsName(r, l);
  if (!name.empty()) Browsers(r).Declare(name);
  Browsers(r).ShowDialog(name, h, owned);
});

ONDREL_SIM_COMMAND("prompt", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "prompt NAME [as D] [text=\"...\"]");
  const plat::Handle h = WindowOf(r, l, l.words[1]);
  std::string text = "Do you want to continue?";
  Runner::Option(l, "text", text);
  const std::string name = AsName(r, l);
  if (!name.empty()) Browsers(r).Declare(name);
  Browsers(r).ShowPrompt(name, h, text);
});

ONDREL_SIM_COMMAND("close", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "close NAME");
  // The user's close reaches the window as the close message does.
  if (const plat::Handle h = WindowOf(r, l, l.words[1])) Desk(r).PostMessage(h, plat::WM_CLOSE_, 0, 0);
});

ONDREL_SIM_COMMAND("fault", When::Any, [](Runner& r, const Line& l) {
  // The one fault that is no browser's: "fault mail" (a browser's faults name a call).
  if (l.words.size() == 2 && l.words[1] == "mail") return FaultMail(r);
  NeedWords(l, 3, "fault NAME|* connect|quit|visible|location|status|create, or fault mail");
  const std::string& call = l.words[2];
  const bool all = l.words[1] == "*";
  if (call == "create") {
    if (!all) throw ScenarioError(l, "creating browser objects fails for all: fault * create");
    Browsers(r).SetCreateFault(true);
    return;
  }
  BrowserCall c;
  if (call == "connect") c = BrowserCall::Connect;
  else if (call == "quit") c = BrowserCall::Quit;
  else if (call == "visible") c = BrowserCall::Visible;
  else if (call == "location") c = BrowserCall::Location;
  else if (call == "status") c = BrowserCall::Status;
  else throw ScenarioError(l, "the calls are connect, quit, visible, location, status and create");
  if (all) {
    Browsers(r).SetFault(0, c);
    return;
  }
  const plat::Handle h = BrowserOf(r, l, l.words[1]);
  if (h) Browsers(r).SetFault(h, c);
});

// --- user input -----------------------------------------------------------------

ONDREL_SIM_COMMAND("front", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "front NAME");
  if (const plat::Handle h = WindowOf(r, l, l.words[1])) Desk(r).BringToFront(h);
});

ONDREL_SIM_COMMAND("click", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "click NAME [X,Y] [hold=T]");
  Click(r, l, true);
});

ONDREL_SIM_COMMAND("rclick", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "rclick NAME [X,Y]");
  Click(r, l, false);
});

ONDREL_SIM_COMMAND("key", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "key ctrl|enter [hold=T]");
  Desk(r).Hold(KeyOf(l, l.words[1]), Millis(l, "hold", 0.12));
});

ONDREL_SIM_COMMAND("press", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "press ctrl|enter");
  Desk(r).Press(KeyOf(l, l.words[1]));
});

ONDREL_SIM_COMMAND("release", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "release ctrl|enter");
  Desk(r).Release(KeyOf(l, l.words[1]));
});

ONDREL_SIM_COMMAND("swap-buttons", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "swap-buttons 0|1");
  if (l.words[1] != "0" && l.words[1] != "1") throw ScenarioError(l, "usage: swap-buttons 0|1");
  Desk(r).SetSwapButtons(l.words[1] == "1");
});

ONDREL_SIM_COMMAND("cursor", When::Any, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "cursor X,Y");
  Desk(r).SetCursor(ParsePoint(l, l.words[1]));
});

// --- checks ---------------------------------------------------------------------

// "expect NAME FIELD=VALUE...": any first word that is no other check.
ONDREL_SIM_EXPECT("*window*", [](Runner& r, const Line& l) {
  NeedWords(l, 3, "expect NAME hwnd=HEX|open=0|1|visible=0|1|left=N|top=N|url=URL...");
  const std::string& name = l.words[1];
  if (!Browsers(r).Known(name)) throw ScenarioError(l, "unknown check or window '" + name + "'");
  const WindowReport w = Browsers(r).ReportOf(name);
  for (size_t i = 2; i < l.words.size(); ++i) {
    const std::string& word = l.words[i];
    const size_t eq = word.find('=');
    const std::string field = word.substr(0, eq == std::string::npos ? word.size() : eq);
    const std::string want = eq == std::string::npos ? "" : word.substr(eq + 1);
    std::string have;
    bool same;
    if (eq == std::string::npos) {
      throw ScenarioError(l, "a window field is written FIELD=VALUE: '" + word + "'");
    } else if (field == "hwnd") {
      have = HexOf(w.hwnd);
      same = (want == "0" && w.hwnd == 0) || (want != "0" && ParseHandle(l, want) == w.hwnd);
    } else if (field == "open" || field == "visible") {
      if (want != "0" && want != "1") throw ScenarioError(l, field + " is 0 or 1");
      have = (field == "open" ? w.open : w.visible) ? "1" : "0";
      same = have == want;
    } else if (field == "left" || field == "top") {
      have = std::to_string(field == "left" ? w.left : w.top);
      same = Runner::ParseInt(l, want) == (field == "left" ? w.left : w.top);
    } else if (field == "url") {
      have = w.url;
      same = have == want;
    } else {
      throw ScenarioError(l, "the window fields are hwnd, open, visible, left, top and url");
    }
    if (!same) r.Fail(l, "window " + name + ": " + field + " is '" + have + "', not '" + want + "'");
  }
});

}  // namespace

// The window lines of the report, in the order in which the windows were created.
void PrintWindowReport(Runner& r) {
  for (const WindowReport& w : Browsers(r).Report())
    r.Print(Format("window %s hwnd=%s open=%d visible=%d left=%d top=%d url=%s",
                   {w.name, HexOf(w.hwnd), w.open ? 1 : 0, w.visible ? 1 : 0, w.left, w.top, w.url}));
}

}  // namespace sim
