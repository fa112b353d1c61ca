#pragma once
// The controls of the program's windows. Each is a plain object with its
// designer name, its state and its event handlers; a form and its controls
// get their platform peers when the form is created (Realize), and from then
// on every change of state is handed to the peer, and what the user does
// comes back as events. Geometry is in pixels at 96 DPI.
//
// Controls are members of their window's class, declared parent before
// child; a control registers with its parent when it is made and leaves it
// when it is destroyed.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Controls.h"
#include "ui/Components.h"

namespace ui {

class TWinControl;
class TForm;
class TButton;

struct TShiftState {
  bool ctrl = false;
  bool shift = false;
};

struct TOwnerDrawState {
  bool selected = false;
  bool focused = false;
};

// The canvas of one owner-drawn item while its drawing handler runs.
class TCanvas {
 public:
  explicit TCanvas(plat::ICanvas& canvas) : canvas_(canvas) {}
  plat::Color FontColor() const { return canvas_.FontColor(); }
  void SetFontColor(plat::Color color) { canvas_.SetFontColor(color); }
  void FillRect(const plat::Rect& rect) { canvas_.FillRect(rect); }
  void TextRect(const plat::Rect& clip, int x, int y, const std::string& text) { canvas_.TextRect(clip, x, y, text); }
  void MoveTo(int x, int y) { penX_ = x, penY_ = y; }
  void LineTo(int x, int y);
  void Draw(int x, int y, const plat::ImageRef& image) { canvas_.Draw(x, y, image); }

 private:
  plat::ICanvas& canvas_;
  int penX_ = 0, penY_ = 0;
};

enum class TAlign : uint8_t { None, Top, Bottom, Client };

class TControl : public TComponent {
 public:
  TControl(TWinControl* parent, std::string name, plat::ControlKind kind);
  ~TControl() override;

  plat::ControlKind Kind() const { return kind_; }
  TWinControl* Parent() const { return parent_; }
  // The form the control lies on (a form's own is itself).
  TForm* Form() const;

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // On the screen: visible itself, in every parent and on a shown form.
  bool Showing() const;
  // What the user can act on: showing, and enabled with every parent.
  bool CanUse() const;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  const plat::FontSpec& Font() const { return font_; }
  void SetFont(const plat::FontSpec& font);

  TPopupMenu* PopupMenu = nullptr;
  TAction* Action() const { return action_; }
  void SetAction(TAction* action);
  std::function<void()> OnClick;

  // What the user's click does: the action when there is one, else OnClick.
  virtual void Click();
  // The action's enabled state changed.
  virtual void ActionChanged();

  plat::IControlPeer* Peer() const { return peer_.get(); }

 protected:
  friend class TWinControl;
  friend class TForm;
  friend class TAction;

  // Creates the peer (the parent's exists) and hands it the whole state.
  virtual void Realize();
  virtual void PushState();
  virtual void HandleEvent(plat::ControlEvent& e);
  virtual void CaptionChanged() {}
  // The visible and enabled states the peer shows, its parents' included
  // (up to the form, which has its own).
  bool EffectiveVisible() const;
  bool EffectiveEnabled() const;
  virtual void ShowingChanged();
  // Keys: the pop-up menu's shortcuts come first, then the control's own
  // handler, then the form's default and cancel buttons.
  void MenuKey(plat::ControlEvent& e);
  void DialogKey(plat::ControlEvent& e);
  void KeyDown(plat::ControlEvent& e, const std::function<void(int& key, TShiftState shift)>& handler);

  plat::PeerStyle style_;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  std::string caption_;

 private:
  void Dispatch(plat::ControlEvent& e);

  plat::ControlKind kind_;
  TWinControl* parent_;
  TAlign align_ = TAlign::None;
  std::string hint_;
  plat::FontSpec font_;
  TAction* action_ = nullptr;
  std::unique_ptr<plat::IControlPeer> peer_;
};

// A control that holds others and lays out those that are aligned.
class TWinControl : public TControl {
 public:
  using TControl::TControl;
  const std::vector<TControl*>& Controls() const { return children_; }
  // Places the aligned children: top ones from the top down, bottom ones
  // from the bottom up, a client one in what is left.
  void Realign();

 protected:
  friend class TControl;
  void Realize() override;
  void ShowingChanged() override;

 private:
  std::vector<TControl*> children_;
};

class TPanel : public TWinControl {
 public:
  TPanel(TWinControl* parent, std::string name, plat::Bevel bevel = plat::Bevel::None);
};

// A panel whose controls come from a class of their own, reused in several
// windows; its controls are reached by their names through the window.
class TFrame : public TWinControl {
 public:
  TFrame(TWinControl* parent, std::string name);
};

class TGroupBox : public TWinControl {
 public:
  TGroupBox(TWinControl* parent, std::string name);
};

class TPageControl;

class TTabSheet : public TWinControl {
 public:
  TTabSheet(TPageControl* pages, std::string name);
  ~TTabSheet() override;
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool visible);

 protected:
  void PushState() override;
  void CaptionChanged() override;

 private:
  friend class TPageControl;
  TPageControl* pages_;
  bool tabVisible_ = true;
};

class TPageControl : public TWinControl {
 public:
  TPageControl(TWinControl* parent, std::string name);
  ~TPageControl() override;
  const std::vector<TTabSheet*>& Pages() const { return pages_; }
  int ActivePageIndex() const { return active_; }
  // Shows page |index| (of all pages); a page whose tab is hidden can be shown this way too.
  void SetActivePageIndex(int index);
  std::function<void()> OnChange;

  // The page's tab caption or visibility changed.
  void TabsChanged();

 protected:
  void PushState() override;
  void HandleEvent(plat::ControlEvent& e) override;

 private:
  friend class TTabSheet;
  std::vector<std::string> TabTexts() const;
  int TabOfPage(int page) const;  // -1 for a page whose tab is hidden
  std::vector<TTabSheet*> pages_;
  int active_ = 0;
};

class TLabel : public TControl {
 public:
  TLabel(TWinControl* parent, std::string name);
  void SetAlignment(plat::TextAlign align) { style_.align = align; }
  void SetHandCursor(bool hand) { style_.handCursor = hand; }
};

class TButton : public TControl {
 public:
  TButton(TWinControl* parent, std::string name);
  // Enter anywhere in the form clicks the default button, Escape the cancel one.
  bool Default() const { return style_.defaultButton; }
  void SetDefault(bool isDefault);
  bool Cancel = false;
};

// A button that never takes the keyboard focus, with an image, drawn flat
// until the mouse is over it when Flat is set.
class TSpeedButton : public TButton {
 public:
  TSpeedButton(TWinControl* parent, std::string name, bool flat = false);
  const plat::ImageRef& Glyph() const { return glyph_; }
  void SetGlyph(const plat::ImageRef& glyph);
  void ActionChanged() override;

 protected:
  void PushState() override;

 private:
  plat::ImageRef glyph_;
};

class TCheckBox : public TControl {
 public:
  TCheckBox(TWinControl* parent, std::string name);
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);  // by the program: no click handler runs
  // The user's click: the box toggles, then its action or OnClick runs.
  void Click() override;

 protected:
  void PushState() override;

 private:
  bool checked_ = false;
};

// A one-line edit; its text is the control's caption.
class TEdit : public TControl {
 public:
  TEdit(TWinControl* parent, std::string name);
  const std::string& Text() const { return Caption(); }
  void SetText(const std::string& text) { SetCaption(text); }
  void SetReadOnly(bool readOnly) { style_.readOnly = readOnly; }
  std::function<void()> OnChange;
  std::function<void(int& key, TShiftState shift)> OnKeyDown;

 protected:
  void HandleEvent(plat::ControlEvent& e) override;
};

// A multi-line edit; its text is its lines joined by CR LF.
class TMemo : public TEdit {
 public:
  TMemo(TWinControl* parent, std::string name);
  std::vector<std::string> Lines() const;
  void SetLines(const std::vector<std::string>& lines);
};

class TComboBox : public TControl {
 public:
  // DropDown: the user may type any text; DropDownList: only the list's items.
  TComboBox(TWinControl* parent, std::string name, plat::ComboStyle style = plat::ComboStyle::DropDown);
  void SetOwnerDraw(int itemHeight);

  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(const std::vector<std::string>& items);  // no item is chosen afterwards
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);  // -1: none; the text becomes the item's
  const std::string& Text() const { return Caption(); }
  void SetText(const std::string& text);  // chooses the first item with that text, if any
  std::function<void()> OnChange;
  std::function<void(TCanvas& canvas, int index, const plat::Rect& rect, TOwnerDrawState state)> OnDrawItem;

 protected:
  void PushState() override;
  void HandleEvent(plat::ControlEvent& e) override;

 private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

// A list box whose rows carry no text: owner drawing paints each row from
// the program's data, so a list of any length costs one flag per row.
class TListBox : public TControl {
 public:
  TListBox(TWinControl* parent, std::string name);
  void SetItemHeight(int height) { style_.itemHeight = height; }
  void SetMultiSelect(bool multi) { style_.multiSelect = multi; }
  void SetAutoDrag(bool autoDrag) { style_.autoDrag = autoDrag; }
  int ItemHeight() const { return style_.itemHeight; }

  int Count() const { return static_cast<int>(selected_.size()); }
  void SetCount(int count);  // no row is selected afterwards
  void AddRow() { InsertRow(Count()); }
  void InsertRow(int index);
  void DeleteRow(int index);
  bool Selected(int index) const;
  void SetSelected(int index, bool selected);
  int SelCount() const { return selCount_; }
  void SelectAll();
  // The focused row; -1 none.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // Paints the rows again.
  void Repaint();

  // Where the mouse is: the row under it (-1 none), below the last row, or
  // outside the client area.
  struct TPointRow {
    int row = -1;
    bool below = false;
    bool outside = false;
  };
  std::function<void(TCanvas& canvas, int index, const plat::Rect& rect, TOwnerDrawState state)> OnDrawItem;
  std::function<void(const TPointRow& at)> OnMouseMove;
  std::function<void(int& key, TShiftState shift)> OnKeyDown;
  std::function<void(TListBox& source, bool& accept)> OnDragOver;
  std::function<void(TListBox& source, const TPointRow& at)> OnDragDrop;

 protected:
  void PushState() override;
  void HandleEvent(plat::ControlEvent& e) override;

 private:
  std::vector<char> selected_;
  int selCount_ = 0;
  int itemIndex_ = -1;
};

class THeaderControl : public TControl {
 public:
  THeaderControl(TWinControl* parent, std::string name);
  const std::vector<plat::HeaderSection>& Sections() const { return sections_; }
  void SetSections(const std::vector<plat::HeaderSection>& sections);
  void SetSectionText(int index, const std::string& text);
  int SectionWidth(int index) const;
  std::function<void(int section)> OnSectionResize;

 protected:
  void PushState() override;
  void HandleEvent(plat::ControlEvent& e) override;

 private:
  std::vector<plat::HeaderSection> sections_;
};

class TUpDown : public TControl {
 public:
  TUpDown(TWinControl* parent, std::string name);
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetRange(int min, int max);
  // Moves the arrows to |position| through the same check as the user's
  // press (OnChangingEx); refused, the arrows stay where they are.
  void SetPosition(int position);
  // Asked before the position changes to |newValue|; answers whether it may.
  std::function<bool(int newValue)> OnChangingEx;

 protected:
  void PushState() override;
  void HandleEvent(plat::ControlEvent& e) override;

 private:
  bool TryPosition(int position);
  int min_ = 0, max_ = 100, position_ = 0;
};

class TProgressBar : public TControl {
 public:
  TProgressBar(TWinControl* parent, std::string name);
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetMax(int max);
  void SetPosition(int position);

 protected:
  void PushState() override;

 private:
  int max_ = 100, position_ = 0;
};

enum class TPosition : uint8_t { Designed, ScreenCenter };

constexpr int mrNone = 0, mrOk = 1, mrCancel = 2;

// A top-level window. Its size is its client area; modal windows run a
// nested message loop in ShowModal, during which timers and other events go on.
class TForm : public TWinControl {
 public:
  explicit TForm(std::string name);
  ~TForm() override;

  // Creates the peers of the form, its controls and its menus.
  void Realize() override;
  bool Realized() const { return Peer() != nullptr; }

  void SetClientSize(int width, int height);
  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  void SetPosition(TPosition position) { style_.centered = position == TPosition::ScreenCenter; }
  void SetBorderStyle(plat::BorderStyle border) { style_.border = border; }
  void SetToolWindow(bool tool) { style_.toolWindow = tool; }
  void SetCloseBox(bool closeBox) { style_.closeBox = closeBox; }
  void SetStayOnTop(bool onTop) { style_.stayOnTop = onTop; }

  // Shows the window, or brings it forward when it is shown already.
  void Show();
  void Hide();
  // Asks CloseQuery; a modal window then ends with mrCancel, another one hides.
  void Close();
  virtual bool CloseQuery() { return true; }
  int ShowModal();
  bool Modal() const { return modal_; }
  int ModalResult = mrNone;

  TControl* ActiveControl = nullptr;  // gets the keyboard focus when the form is shown
  std::function<void()> OnShow;

  // Enter and Escape pressed anywhere in the form.
  void DialogKey(plat::ControlEvent& e);
  void AddMenu(TPopupMenu* menu) { menus_.push_back(menu); }
  void RemoveMenu(TPopupMenu* menu);

 protected:
  void HandleEvent(plat::ControlEvent& e) override;

 private:
  std::vector<TPopupMenu*> menus_;
  bool modal_ = false;
};

}  // namespace ui
