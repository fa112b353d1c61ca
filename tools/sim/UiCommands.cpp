// Scenario commands and checks for the program's own windows: the tray
// menu's items, what the user does with a window's controls, and what the
// windows show.
#include <cstdio>
#include <map>
#include <sstream>

#include "SimRunner.h"
#include "app/MainOndrel.h"
#include "app/Program.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "platform/Desktop.h"
#include "platform/sim/SimMachine.h"

namespace sim {

namespace {

// The program's windows, in the order of the report.
const char* const kForms[] = {"FormGarvel",         "FormOptions", "FormCloseIt", "FormAllowIt",
                              "FormTheyWereClosed", "FormTheyWereBrowsed", "FormWinDescr", "FormAbout",
                              "FormEraser",         "FormBugReport"};

SimControls& Windows(Runner& r) { return r.Machine().Windows(); }

bool IsFormName(const std::string& name) {
  for (const char* f : kForms)
    if (name == f) return true;
  return false;
}

// The window or control a command names. Unknown names make the scenario
// unreadable; a window destroyed at exit is known but gone (nullptr).
HeadlessControl* Named(Runner& r, const Line& l, const std::string& path) {
  const std::string form = path.substr(0, path.find('.'));
  if (!IsFormName(form)) throw ScenarioError(l, "unknown window '" + form + "'");
  if (!Windows(r).Known(path))
    throw ScenarioError(l, Windows(r).Known(form) ? "the window " + form + " has no control '" + path.substr(form.size() + 1) + "'"
                                                  : "the window " + form + " does not exist");
  return Windows(r).Find(path);
}

// Acts on a control through the simulated user; what the user could not do fails the scenario.
void Act(Runner& r, const Line& l, HeadlessControl* c, const std::function<std::string(HeadlessControl&)>& action) {
  if (!c) {
    r.Fail(l, "the window " + l.words[1].substr(0, l.words[1].find('.')) + " is not shown");
    return;
  }
  const std::string why = action(*c);
  if (!why.empty()) r.Fail(l, why);
}

bool ParseRows(const std::string& text, std::vector<int>& rows) {
  rows.clear();
  if (text == "none") return true;
  std::stringstream ss(text);
  std::string part;
  while (std::getline(ss, part, ',')) {
    if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos || part.size() > 9) return false;
    rows.push_back(std::stoi(part));
  }
  return !rows.empty();
}

std::string RowsText(const std::vector<int>& rows) {
  if (rows.empty()) return "none";
  std::string s;
  for (size_t i = 0; i < rows.size(); ++i) s += (i ? "," : "") + std::to_string(rows[i]);
  return s;
}

// A row of a list box, or "below" (-1), as the commands write them.
int ParseRow(const Line& l, const std::string& word) {
  if (word == "below") return -1;
  if (word == "outside") return -2;
  const int row = Runner::ParseInt(l, word);
  if (row < 0) throw ScenarioError(l, "a row is a number from 0, 'below' or 'outside'");
  return row;
}

std::string ColorText(plat::Color c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", c & 255, (c >> 8) & 255, (c >> 16) & 255);
  return buf;
}

// The fields of a window or control, as `expect ui` reads them.
std::map<std::string, std::string> Fields(SimControls& w, const HeadlessControl& c) {
  using K = plat::ControlKind;
  std::map<std::string, std::string> f;
  f["visible"] = w.Shown(c) ? "1" : "0";
  if (c.kind == K::Form) {
    f["modal"] = c.modal ? "1" : "0";
    f["caption"] = c.text;
    f["width"] = std::to_string(c.bounds.right - c.bounds.left);
    f["height"] = std::to_string(c.bounds.bottom - c.bounds.top);
    return f;
  }
  f["enabled"] = c.enabled ? "1" : "0";
  f["hint"] = c.hint;
  switch (c.kind) {
    case K::Edit:
    case K::ComboBox:
      f["text"] = c.text;
      f["items"] = std::to_string(c.items.size());
      f["index"] = std::to_string(c.itemIndex);
      break;
    case K::ListBox:
      f["items"] = std::to_string(c.RowCount());
      f["index"] = std::to_string(c.itemIndex);
      f["selected"] = RowsText(c.SelectedRows());
      break;
    case K::MenuItem:
      // The shortcut's name after the tab is no part of the caption.
      f["caption"] = c.text.substr(0, c.text.find('\t'));
      break;
    case K::PageControl:
      f["page"] = std::to_string(c.itemIndex);
      f["items"] = std::to_string(c.items.size());
      break;
    case K::Header:
      f["width"] = c.sections.empty() ? "0" : std::to_string(c.sections[0].width);
      f["items"] = std::to_string(c.sections.size());
      break;
    case K::UpDown:
    case K::ProgressBar:
      f["position"] = std::to_string(c.position);
      f["min"] = std::to_string(c.min);
      f["max"] = std::to_string(c.max);
      break;
    default:
      f["caption"] = c.text;
      break;
  }
  if (c.kind == K::CheckBox) f["checked"] = c.checked ? "1" : "0";
  if (c.kind == K::Label) f["font-size"] = std::to_string(c.font.size > 0 ? c.font.size : 8);
  return f;
}

void CheckFields(Runner& r, const Line& l, const std::string& what, const std::map<std::string, std::string>& have,
                 size_t first) {
  for (size_t i = first; i < l.words.size(); ++i) {
    const std::string& w = l.words[i];
    const size_t eq = w.find('=');
    if (eq == std::string::npos) throw ScenarioError(l, "a check is FIELD=VALUE: '" + w + "'");
    // Line ends in a text are written \r and \n.
    const std::string field = w.substr(0, eq), want = ReplaceAll(ReplaceAll(w.substr(eq + 1), "\\r", "\r"), "\\n", "\n");
    auto it = have.find(field);
    if (it == have.end()) throw ScenarioError(l, what + " has no field '" + field + "'");
    if (it->second != want) r.Fail(l, what + " " + field + " is '" + it->second + "', not '" + want + "'");
  }
}

// --- commands -----------------------------------------------------------

ONDREL_SIM_COMMAND("menu", When::AfterStart, [](Runner& r, const Line& l) {
  NeedWords(l, 2, "menu ITEM");
  if (!FormGarvel) {
    r.Fail(l, "the program is not running");
    return;
  }
  const auto& items = FormGarvel->PopupMenu1.Items;
  size_t index = 0;  // among the items the menu shows
  const ui::TMenuItem* item = nullptr;
  for (const ui::TMenuItem* it : items) {
    if (it->Name == l.words[1]) {
      item = it;
      break;
    }
    if (it->Visible()) ++index;
  }
  if (!item) throw ScenarioError(l, "the tray menu has no item '" + l.words[1] + "'");
  if (!r.Machine().Tray().active) return r.Fail(l, "the tray icon is not shown, so its menu cannot be opened");
  if (!item->Visible() || !item->Enabled() || item->IsSeparator())
    return r.Fail(l, "the menu item " + l.words[1] + " is disabled");
  r.Machine().TrayChoose(index);
});

ONDREL_SIM_COMMAND("ui", When::AfterStart, [](Runner& r, const Line& l) {
  NeedWords(l, 3, "ui FORM.CONTROL ACTION ...");
  const std::string& path = l.words[1];
  const std::string& action = l.words[2];
  SimControls& w = Windows(r);
  if (action == "close") {
    if (path.find('.') != std::string::npos) throw ScenarioError(l, "'close' acts on a window: ui FORM close");
    return Act(r, l, Named(r, l, path), [&](HeadlessControl& c) { return w.Close(c); });
  }
  if (path.find('.') == std::string::npos) throw ScenarioError(l, "'" + action + "' acts on a control: ui FORM.CONTROL");
  HeadlessControl* c = Named(r, l, path);
  if (action == "click") return Act(r, l, c, [&](HeadlessControl& x) { return w.Click(x); });
  if (action == "text") {
    NeedWords(l, 4, "ui FORM.CONTROL text \"TEXT\"");
    return Act(r, l, c, [&](HeadlessControl& x) { return w.Type(x, l.words[3]); });
  }
  if (action == "select") {
    NeedWords(l, 4, "ui FORM.CONTROL select N | ROWS [focus=N]");
    return Act(r, l, c, [&](HeadlessControl& x) {
      if (x.kind != plat::ControlKind::ListBox) return w.Choose(x, Runner::ParseInt(l, l.words[3]));
      std::vector<int> rows;
      if (!ParseRows(l.words[3], rows)) throw ScenarioError(l, "rows are written 1,3,4 or none");
      std::string v;
      int focus = rows.empty() ? x.itemIndex : rows.back();
      if (Runner::Option(l, "focus", v)) focus = Runner::ParseInt(l, v);
      return w.SelectRows(x, rows, focus);
    });
  }
  if (action == "key") {
    NeedWords(l, 4, "ui FORM.CONTROL key insert|delete|ctrl+a|enter|escape");
    static const std::map<std::string, std::pair<int, bool>> keys = {{"insert", {plat::VK_INSERT_, false}},
                                                                     {"delete", {plat::VK_DELETE_, false}},
                                                                     {"ctrl+a", {plat::VK_A_, true}},
                                                                     {"enter", {plat::VK_RETURN_, false}},
                                                                     {"escape", {plat::VK_ESCAPE_, false}}};
    auto it = keys.find(LowerCase(l.words[3]));
    if (it == keys.end()) throw ScenarioError(l, "the keys are insert, delete, ctrl+a, enter and escape");
    return Act(r, l, c, [&](HeadlessControl& x) { return w.Key(x, it->second.first, it->second.second); });
  }
  if (action == "up" || action == "down") {
    const int times = l.words.size() > 3 ? Runner::ParseInt(l, l.words[3]) : 1;
    if (times < 1) throw ScenarioError(l, "the arrow is pressed at least once");
    return Act(r, l, c, [&](HeadlessControl& x) { return w.UpDown(x, action == "up", times); });
  }
  if (action == "hover") {
    NeedWords(l, 4, "ui FORM.CONTROL hover ROW|below|outside");
    const int row = ParseRow(l, l.words[3]);
    return Act(r, l, c, [&](HeadlessControl& x) { return w.Hover(x, row); });
  }
  if (action == "drag") {
    NeedWords(l, 5, "ui FORM.CONTROL drag TOFORM.TOCONTROL ROW|below");
    if (l.words[3].find('.') == std::string::npos) throw ScenarioError(l, "the target is a list box: TOFORM.TOCONTROL");
    HeadlessControl* target = Named(r, l, l.words[3]);
    const int row = ParseRow(l, l.words[4]);
    if (row == -2) throw ScenarioError(l, "rows are dropped on a row or below the last one");
    if (!target) return r.Fail(l, "the window of " + l.words[3] + " is not shown");
    return Act(r, l, c, [&](HeadlessControl& x) { return w.Drag(x, *target, row); });
  }
  if (action == "resize") {
    NeedWords(l, 5, "ui FORM.CONTROL resize SECTION WIDTH");
    const int section = Runner::ParseInt(l, l.words[3]);
    const int width = Runner::ParseInt(l, l.words[4]);
    return Act(r, l, c, [&](HeadlessControl& x) { return w.ResizeSection(x, section, width); });
  }
  throw ScenarioError(l, "unknown action '" + action + "' (click, text, select, key, up, down, hover, drag, resize, close)");
});

// --- checks -------------------------------------------------------------

ONDREL_SIM_EXPECT("ui", [](Runner& r, const Line& l) {
  NeedWords(l, 4, "expect ui FORM[.CONTROL] FIELD=VALUE...");
  HeadlessControl* c = Named(r, l, l.words[2]);
  if (!c) {
    // Gone with the program: only its visibility can be read.
    for (size_t i = 3; i < l.words.size(); ++i)
      if (l.words[i] != "visible=0") return r.Fail(l, l.words[2] + " no longer exists; only visible=0 holds for it");
    return;
  }
  CheckFields(r, l, l.words[2], Fields(Windows(r), *c), 3);
});

ONDREL_SIM_EXPECT("row", [](Runner& r, const Line& l) {
  NeedWords(l, 5, "expect row FORM.CONTROL ROW FIELD=VALUE...");
  HeadlessControl* c = Named(r, l, l.words[2]);
  if (!c) return r.Fail(l, "the window of " + l.words[2] + " no longer exists");
  if (c->kind != plat::ControlKind::ListBox && c->kind != plat::ControlKind::ComboBox)
    throw ScenarioError(l, l.words[2] + " is no list or combo box");
  const int row = Runner::ParseInt(l, l.words[3]);
  const DrawnItem d = Windows(r).Paint(*c, row);
  if (!d.painted) return r.Fail(l, l.words[2] + " has no row " + l.words[3] + " to paint");
  std::map<std::string, std::string> f;
  f["image"] = std::to_string(d.image);
  f["color"] = ColorText(d.color);
  f["referrer"] = d.texts.size() > 0 ? d.texts[0] : "";
  f["url"] = d.texts.size() > 1 ? d.texts[1] : "";
  f["text"] = d.texts.empty() ? "" : d.texts[0];
  CheckFields(r, l, l.words[2] + " row " + l.words[3], f, 4);
});

ONDREL_SIM_EXPECT("shell", [](Runner& r, const Line& l) {
  NeedWords(l, 3, "expect shell \"TEXT\"");
  for (const std::string& s : r.Machine().ShellRequests())
    if (s.find(l.words[2]) != std::string::npos) return;
  r.Fail(l, "no request to the shell opened '" + l.words[2] + "'");
});

ONDREL_SIM_EXPECT("no-message", [](Runner& r, const Line& l) {
  NeedWords(l, 3, "expect no-message \"TEXT\"");
  for (const auto& m : r.Machine().Messages())
    if (m.text.find(l.words[2]) != std::string::npos) return r.Fail(l, "a message box showed '" + m.text + "'");
});

}  // namespace

void PrintFormReport(Runner& r) {
  for (const char* name : kForms)
    if (HeadlessControl* f = Windows(r).Find(name); f && f->visible)
      r.Print("form " + std::string(name) + " visible=1 caption=" + f->text);
  for (const std::string& s : r.Machine().ShellRequests()) r.Print("shell open " + s);
}

}  // namespace sim
