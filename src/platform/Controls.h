#pragma once
// What the component layer needs from the window system for the program's
// own windows: one peer per control, kept in step through typed setters, and
// one events callback through which the peer reports what the user did.
//
// Sizes and positions are pixels at 96 DPI in the parent's client area; a
// renderer on a screen of another density scales them both ways. Colours are
// written as the platform writes them, 0x00BBGGRR.
//
// Who changes what: a peer applies the user's own changes itself before it
// reports them (the text typed, the rows selected, the item chosen, a header
// section's width, the tab shown), as a real control does; the component
// layer then hands back only what it corrects. A check box does not toggle
// itself: the component toggles it and hands the new state back. An up-down
// asks first (Changing) and moves only when the component hands it the
// position. Peers report nothing about changes the component made.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace plat {

enum class ControlKind : uint8_t {
  Form,         // a top-level window of the program
  Panel,        // a container, with a bevel or none (frames are panels too)
  GroupBox,     // a container framed with its caption
  PageControl,  // tabs over a set of pages
  TabSheet,     // one page of a page control (a container)
  Label,
  Button,       // push buttons and speed buttons
  CheckBox,
  Edit,         // one line, or several (a memo)
  ComboBox,
  ListBox,
  Header,
  UpDown,
  ProgressBar,
  MenuItem,     // an item of a pop-up menu; the host builds the menu when it opens
};

using Color = uint32_t;
constexpr Color kDefaultColor = 0xFF000000;  // the control's own system colour
constexpr Color RGBColor(int r, int g, int b) {
  return static_cast<Color>(r & 255) | static_cast<Color>(g & 255) << 8 | static_cast<Color>(b & 255) << 16;
}

struct FontSpec {
  std::string name;  // "" the system's dialog font
  int size = 0;      // points; 0 the system's size
  bool bold = false;
  bool underline = false;
  Color color = kDefaultColor;
  bool operator==(const FontSpec&) const = default;
};

// The program's images come in strips of 16 x 16 images, one bitmap
// resource each (see res/).
enum ImageStrip : int { kNoStrip = -1, kStripRows = 201, kStripTools = 202, kStripSounds = 203 };

struct ImageRef {
  int strip = kNoStrip;
  int index = -1;
  bool Valid() const { return strip != kNoStrip && index >= 0; }
  bool operator==(const ImageRef&) const = default;
};

enum class Bevel : uint8_t { None, LoweredOuter, LoweredInner };
enum class BorderStyle : uint8_t { Sizeable, Dialog, None };
enum class TextAlign : uint8_t { Left, Center };
enum class ComboStyle : uint8_t { DropDown, DropDownList };

// What a control is, fixed when it is made.
struct PeerStyle {
  // Forms.
  BorderStyle border = BorderStyle::Sizeable;
  bool toolWindow = false;   // no task-bar button, small caption
  bool closeBox = true;      // the title bar's buttons; without them Alt+F4 still closes
  bool stayOnTop = false;
  bool centered = false;     // centred on the screen each time it is shown
  // Panels and group boxes.
  Bevel bevel = Bevel::None;
  // Buttons.
  bool speedButton = false;  // a speed button: never takes the focus
  bool flat = false;         // drawn flat until the mouse is over it
  bool defaultButton = false;
  // Labels.
  TextAlign align = TextAlign::Left;
  bool handCursor = false;   // a label the user clicks, as a link
  // Edits.
  bool multiLine = false;
  bool readOnly = false;
  bool wantReturns = true;   // a multi-line edit takes Enter itself
  // Combo and list boxes.
  ComboStyle combo = ComboStyle::DropDown;
  bool ownerDraw = false;
  int itemHeight = 0;        // rows of owner-drawn lists
  bool multiSelect = false;  // extended selection with Ctrl and Shift
  bool autoDrag = false;     // a drag starts when the pressed mouse moves
  // Up-downs.
  bool vertical = true;
  // Controls with a tab stop.
  bool tabStop = true;
};

// A canvas that owner drawing paints on: the peer prepares its font colour
// and background for the item's state before the drawing handler runs.
class ICanvas {
 public:
  virtual ~ICanvas() = default;
  virtual Color FontColor() const = 0;
  virtual void SetFontColor(Color color) = 0;
  virtual void FillRect(const Rect& rect) = 0;  // with the background
  // Text starting at (x, y), clipped to |clip|.
  virtual void TextRect(const Rect& clip, int x, int y, const std::string& text) = 0;
  virtual void Line(int x1, int y1, int x2, int y2) = 0;  // with the current pen
  virtual void Draw(int x, int y, const ImageRef& image) = 0;
};

class IControlPeer;

enum class EventKind : uint8_t {
  Click,             // buttons, check boxes (the control toggles its own state), labels, menu items
  TextChanged,       // edits, memos and the edit of a combo box: |text| is the new text
  Select,            // combo box: |index| chosen; page control: |index| is the page shown
  SelectionChanged,  // list box: |rows| selected (ascending), |index| the focused row
  Key,               // |key| virtual key, |ctrl|, |shift|; set |handled| to consume it
  MouseMove,         // list box: |row| under the point, |below| the last row, |outside| the client area
  DragOver,          // list box under a drag: |source| the dragged list box; set |accept|
  DragDrop,          // list box: |source| dropped at |row|, |below| or |outside|
  SectionResize,     // header: section |index| is now |width| wide
  Changing,          // up-down: the user asks for |position|; clear |accept| to refuse
  Close,             // form: the user closes it (close box, Alt+F4, Escape)
  Resize,            // form: the client area is now |width| x |height|
  DrawItem,          // list or combo box: paint item |index| in |rect| on |canvas|
  ContextMenu,       // the user asks for the control's pop-up menu
};

struct ControlEvent {
  EventKind kind = EventKind::Click;
  int index = -1;
  int row = -1;
  bool below = false;
  bool outside = false;
  int position = 0;
  int width = 0, height = 0;
  int key = 0;
  bool ctrl = false, shift = false;
  std::string text;
  std::vector<int> rows;
  IControlPeer* source = nullptr;
  ICanvas* canvas = nullptr;
  Rect rect;
  bool selected = false, focused = false;
  bool accept = true;    // DragOver, Changing
  bool handled = false;  // Key
};

using EventCallback = std::function<void(ControlEvent&)>;

// Virtual keys the controls react to, numbered as the platform numbers them.
enum : int { VK_BACK_ = 0x08, VK_TAB_ = 0x09, VK_ESCAPE_ = 0x1B, VK_INSERT_ = 0x2D, VK_DELETE_ = 0x2E, VK_A_ = 0x41 };

struct HeaderSection {
  std::string text;
  int width = 0;
  int minWidth = 0;
};

// The renderer's side of one control. Setters that do not apply to a
// control's kind are ignored.
class IControlPeer {
 public:
  virtual ~IControlPeer() = default;

  virtual void SetBounds(const Rect& bounds) = 0;  // left, top, right, bottom in the parent
  virtual void SetVisible(bool visible) = 0;       // shown on screen (its parents' state included)
  virtual void SetEnabled(bool enabled) = 0;       // its parents' state included
  virtual void SetText(const std::string& text) = 0;  // caption; an edit's text, lines joined by CR LF
  virtual void SetHint(const std::string& hint) = 0;
  virtual void SetFont(const FontSpec& font) = 0;
  virtual void SetImage(const ImageRef& image) = 0;  // a button's glyph
  virtual void SetChecked(bool checked) = 0;
  // Combo boxes and page controls.
  virtual void SetItems(const std::vector<std::string>& items) = 0;  // a page control's visible tabs
  // The chosen combo item, a page control's tab shown, a list box's focused
  // row; a tab sheet's own tab among the visible ones (-1: its tab is hidden).
  virtual void SetItemIndex(int index) = 0;
  // List boxes (rows carry no data of their own: owner drawing paints them).
  virtual void SetRowCount(int count) = 0;  // clears the selection
  virtual void InsertRow(int index) = 0;
  virtual void DeleteRow(int index) = 0;
  virtual void SetRowSelected(int index, bool selected) = 0;  // -1: every row
  virtual void Invalidate() = 0;  // paint again
  // Headers.
  virtual void SetSections(const std::vector<HeaderSection>& sections) = 0;
  // Up-downs and progress bars.
  virtual void SetRange(int min, int max) = 0;
  virtual void SetPosition(int position) = 0;
  // Forms.
  virtual void BringToFront() = 0;
  virtual void SetFocus() = 0;  // the keyboard focus; a renderer may refuse it
};

struct PeerSpec {
  ControlKind kind = ControlKind::Panel;
  std::string name;               // the designer name
  IControlPeer* parent = nullptr; // null for a form
  PeerStyle style;
  EventCallback onEvent;
};

}  // namespace plat
