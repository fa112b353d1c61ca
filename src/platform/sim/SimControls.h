#pragma once
// The program's windows on the simulated desktop: headless peers that keep
// what a real control would show, and the simulated user's side of them.
// The user acts only on what is shown and enabled, as a real user can; each
// action returns "" when it was done, or the reason the user could not.
// Owner drawing paints on a canvas that records what it drew.
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "platform/UiHost.h"

namespace sim {

// What owner drawing drew for one row of a list box or item of a combo box.
struct DrawnItem {
  bool painted = false;
  std::vector<std::string> texts;    // in the order drawn
  std::vector<plat::Color> colors;   // the font colour of each text
  std::vector<plat::ImageRef> images;
  int lines = 0;
  plat::Color color = 0;             // the colour of the first text (the font colour if none)
  int image = -1;                    // the index of the first image drawn, -1 none
};

class HeadlessControl : public plat::IControlPeer {
 public:
  HeadlessControl(class SimControls& host, plat::PeerSpec spec, HeadlessControl* form);
  ~HeadlessControl() override;

  // The peer.
  void SetBounds(const plat::Rect& bounds) override { this->bounds = bounds; }
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override { this->enabled = enabled; }
  void SetText(const std::string& text) override { this->text = text; }
  void SetHint(const std::string& hint) override { this->hint = hint; }
  void SetFont(const plat::FontSpec& font) override { this->font = font; }
  void SetImage(const plat::ImageRef& image) override { this->image = image; }
  void SetChecked(bool checked) override { this->checked = checked; }
  void SetItems(const std::vector<std::string>& items) override;
  void SetItemIndex(int index) override;
  void SetRowCount(int count) override;
  void InsertRow(int index) override;
  void DeleteRow(int index) override;
  void SetRowSelected(int index, bool selected) override;
  void Invalidate() override { invalid = true; }
  void SetSections(const std::vector<plat::HeaderSection>& sections) override { this->sections = sections; }
  void SetRange(int min, int max) override;
  void SetPosition(int position) override { this->position = position; }
  void BringToFront() override;
  void SetFocus() override;

  // What the control shows.
  const plat::ControlKind kind;
  const std::string name;
  const plat::PeerStyle style;
  HeadlessControl* const parent;
  HeadlessControl* const form;  // itself for a form
  std::string path;             // "Form" or "Form.Control"

  plat::Rect bounds;
  bool visible = false;
  bool enabled = true;
  std::string text, hint;
  plat::FontSpec font;
  plat::ImageRef image;
  bool checked = false;
  std::vector<std::string> items;
  int itemIndex = -1;
  std::vector<char> selected;  // list rows
  int topRow = 0;
  std::vector<plat::HeaderSection> sections;
  int min = 0, max = 0, position = 0;
  bool modal = false;
  bool focused = false;
  bool invalid = true;
  std::map<int, DrawnItem> drawn;  // the last paint of each row or item

  int RowCount() const { return static_cast<int>(selected.size()); }
  int VisibleRows() const;
  std::vector<int> SelectedRows() const;
  void Send(plat::ControlEvent& e);

 private:
  SimControls& host_;
  plat::EventCallback onEvent_;
};

class SimControls {
 public:
  SimControls();
  ~SimControls();

  std::unique_ptr<plat::IControlPeer> Create(plat::PeerSpec spec);
  void RunModal(plat::IControlPeer& form, const std::function<bool()>& done);

  // The program's windows by designer name: "FormOptions" or
  // "FormOptions.CheckBoxDebug"; nullptr when there is none.
  HeadlessControl* Find(const std::string& path) const;
  // The window or control existed at some time of this run (it may be gone).
  bool Known(const std::string& path) const { return known_.count(path) > 0; }
  // Every form, in the order they were made.
  std::vector<HeadlessControl*> Forms() const;
  // On the screen now: the control, its parents and its form are visible.
  bool Shown(const HeadlessControl& c) const;
  // Why the user cannot act on the control now, or "" when he can: it must
  // be shown and enabled, and no modal window above its own may be open.
  std::string Refusal(const HeadlessControl& c) const;

  // What the simulated user does. Each runs the idle work afterwards, as
  // the message loop does when the queue is empty.
  std::string Click(HeadlessControl& c);
  std::string Type(HeadlessControl& c, const std::string& text);
  std::string Choose(HeadlessControl& c, int index);  // combo item, or visible tab of a page control
  std::string SelectRows(HeadlessControl& c, const std::vector<int>& rows, int focus);
  std::string Key(HeadlessControl& c, int key, bool ctrl = false, bool shift = false);
  std::string UpDown(HeadlessControl& c, bool up, int times);
  // |row| >= 0 a row; -1 below the last row; -2 outside the client area.
  std::string Hover(HeadlessControl& c, int row);
  std::string Drag(HeadlessControl& source, HeadlessControl& target, int row);
  std::string ResizeSection(HeadlessControl& c, int section, int width);
  std::string Close(HeadlessControl& form);

  // Paints row (or item) |index| as the screen would now, and returns what was drawn.
  DrawnItem Paint(HeadlessControl& c, int index);
  // Paints what is shown and was marked to be painted again.
  void PaintPending();

  // What runs while a modal window is open: the simulator's front end runs
  // the scenario's next commands; a test queues what its user does. With
  // neither, or when they leave it open, the window is closed as with Cancel.
  using ModalHook = std::function<void(const std::function<bool()>& done)>;
  void SetModalHook(ModalHook hook) { modalHook_ = std::move(hook); }
  void QueueModal(std::function<void()> userActions) { modalQueue_.push_back(std::move(userActions)); }
  // The modal windows open now, the innermost last.
  const std::vector<HeadlessControl*>& ModalStack() const { return modalStack_; }

  // The idle work after a user action.
  void Idle();

 private:
  friend class HeadlessControl;
  void Forget(HeadlessControl* c);
  void Remember(HeadlessControl* c);

  std::map<std::string, HeadlessControl*> byPath_;
  std::set<std::string> known_;
  std::vector<HeadlessControl*> forms_;
  std::vector<HeadlessControl*> all_;
  std::vector<HeadlessControl*> modalStack_;
  ModalHook modalHook_;
  std::vector<std::function<void()>> modalQueue_;
};

}  // namespace sim
