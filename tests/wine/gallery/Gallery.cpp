// A test window for the Windows renderer of the control layer: one control
// of every kind, made with the portable components, each event it gets
// written to gallery.log beside the program. Before the first event the log
// holds where each control lies on the screen, so that a test can aim real
// mouse clicks at them:
//
//   at NAME LEFT TOP RIGHT BOTTOM      the client area, in screen pixels
//   tab INDEX LEFT TOP RIGHT BOTTOM    a tab of the page control
//   row NAME HEIGHT                    the height of a list's rows
//   dpi N / ready
//   measure WHAT VALUE                 a cost measured, for the test to print
//
// Never shipped: the Wine test wine_controls.sh drives it.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/win32/Win32Backend.h"
#include "platform/win32/Win32Controls.h"
#include "ui/Components.h"
#include "ui/Controls.h"

namespace {

FILE* g_log = nullptr;

void Log(const std::string& line) {
  if (!g_log) return;
  std::fputs((line + "\n").c_str(), g_log);
  std::fflush(g_log);
}

std::string Rows(const ui::TListBox& list) {
  std::string s;
  for (int i = 0; i < list.Count(); ++i) {
    if (!list.Selected(i)) continue;
    if (!s.empty()) s += ',';
    s += std::to_string(i);
  }
  return s.empty() ? "-" : s;
}

std::string At(const ui::TListBox::TPointRow& at) {
  return "row=" + std::to_string(at.row) + " below=" + std::to_string(at.below) +
         " outside=" + std::to_string(at.outside);
}

// A small modal window: Enter and Escape end it.
class TFormAsk : public ui::TForm {
 public:
  TFormAsk() : ui::TForm("FormAsk") {
    SetCaption("Question");
    // No close box: Alt+F4 still closes it.
    SetBorderStyle(plat::BorderStyle::Dialog);
    SetCloseBox(false);
    SetPosition(ui::TPosition::ScreenCenter);
    SetClientSize(260, 90);
    LabelAsk.SetBounds(12, 14, 236, 16);
    LabelAsk.SetCaption("Go on with the test?");
    ButtonYes.SetBounds(92, 52, 75, 25);
    ButtonYes.SetCaption("&Yes");
    ButtonYes.SetDefault(true);
    ButtonYes.OnClick = [this] { ModalResult = ui::mrOk; };
    ButtonNo.SetBounds(173, 52, 75, 25);
    ButtonNo.SetCaption("No");
    ButtonNo.Cancel = true;
    ButtonNo.OnClick = [this] { ModalResult = ui::mrCancel; };
  }
  ui::TLabel LabelAsk{this, "LabelAsk"};
  ui::TButton ButtonYes{this, "ButtonYes"};
  ui::TButton ButtonNo{this, "ButtonNo"};
};

class TFormGallery : public ui::TForm {
 public:
  TFormGallery();
  void WriteLayout();

  ui::TPanel PanelTop{this, "PanelTop", plat::Bevel::LoweredOuter};
  ui::TLabel LabelVersion{&PanelTop, "LabelVersion"};
  ui::TLabel LabelLink{&PanelTop, "LabelLink"};
  ui::TSpeedButton SpeedAdd{&PanelTop, "SpeedAdd", true};
  ui::TSpeedButton SpeedEdit{&PanelTop, "SpeedEdit", true};
  ui::TSpeedButton SpeedDelete{&PanelTop, "SpeedDelete", true};
  ui::TSpeedButton SpeedPlay{&PanelTop, "SpeedPlay"};
  ui::TPageControl Pages{this, "Pages"};
  ui::TTabSheet SheetControls{&Pages, "SheetControls"};
  ui::TGroupBox GroupInput{&SheetControls, "GroupInput"};
  ui::TLabel LabelName{&GroupInput, "LabelName"};
  ui::TEdit EditName{&GroupInput, "EditName"};
  ui::TLabel LabelOther{&GroupInput, "LabelOther"};
  ui::TEdit EditOther{&GroupInput, "EditOther"};
  ui::TCheckBox CheckBoxDebug{&GroupInput, "CheckBoxDebug"};
  ui::TLabel LabelCount{&GroupInput, "LabelCount"};
  ui::TEdit EditCount{&GroupInput, "EditCount"};
  ui::TUpDown UpDown1{&GroupInput, "UpDown1"};
  ui::TComboBox ComboSound{&SheetControls, "ComboSound", plat::ComboStyle::DropDownList};
  ui::TComboBox ComboMask{&SheetControls, "ComboMask", plat::ComboStyle::DropDown};
  ui::TMemo Memo1{&SheetControls, "Memo1"};
  ui::TProgressBar Progress{&SheetControls, "Progress"};
  ui::TTabSheet SheetLists{&Pages, "SheetLists"};
  ui::THeaderControl Header1{&SheetLists, "Header1"};
  ui::TListBox ListLeft{&SheetLists, "ListLeft"};
  ui::TListBox ListRight{&SheetLists, "ListRight"};
  ui::TTabSheet SheetHidden{&Pages, "SheetHidden"};
  ui::TTabSheet SheetMore{&Pages, "SheetMore"};
  ui::TLabel LabelMore{&SheetMore, "LabelMore"};
  ui::TButton ButtonAsk{this, "ButtonAsk"};
  ui::TButton ButtonOK{this, "ButtonOK"};
  ui::TButton ButtonCancel{this, "ButtonCancel"};
  ui::TPopupMenu PopupList{this, "PopupList"};
  ui::TMenuItem MenuSelectAll{&PopupList, "MenuSelectAll"};
  ui::TMenuItem MenuDelete{&PopupList, "MenuDelete"};
  ui::TImageList ImagesRows{"ImagesRows", plat::kStripRows};
  ui::TImageList ImagesTools{"ImagesTools", plat::kStripTools};

 protected:
  void HandleEvent(plat::ControlEvent& e) override {
    if (e.kind == plat::EventKind::Resize)
      Log("Resize FormGallery " + std::to_string(e.width) + "x" + std::to_string(e.height));
    if (e.kind == plat::EventKind::Key) Log("Key FormGallery key=" + std::to_string(e.key));
    if (e.kind == plat::EventKind::Close) Log("Close FormGallery");
    ui::TForm::HandleEvent(e);
    if (!Visible()) ui::Application.Terminate();
  }

 private:
  void DrawRow(ui::TCanvas& canvas, const std::string& text, int image, const plat::Rect& rect);
  std::vector<std::string> right_;
};

TFormGallery::TFormGallery() : ui::TForm("FormGallery") {
  SetCaption("Ondrel controls");
  SetBounds(40, 30, 0, 0);
  SetClientSize(560, 420);

  PanelTop.SetBounds(0, 0, 560, 56);
  PanelTop.SetAlign(ui::TAlign::Top);
  LabelVersion.SetBounds(10, 6, 250, 30);
  LabelVersion.SetCaption("Ondrel 1.0");
  LabelVersion.SetFont({"Times New Roman", 18, true, false, plat::RGBColor(0, 0, 128)});
  LabelLink.SetBounds(12, 36, 200, 16);
  LabelLink.SetCaption("www.ondrel.example");
  LabelLink.SetFont({"", 0, true, true, plat::RGBColor(0, 0, 255)});
  LabelLink.SetHandCursor(true);
  LabelLink.OnClick = [] { Log("Click LabelLink"); };
  struct Tool {
    ui::TSpeedButton* button;
    int image;
    const char* hint;
  };
  int x = 300;
  for (const Tool& t : {Tool{&SpeedAdd, 3, "Add"}, Tool{&SpeedEdit, 5, "Edit"}, Tool{&SpeedDelete, 1, "Delete"}}) {
    t.button->SetBounds(x, 14, 26, 26);
    t.button->SetGlyph(ImagesTools.At(t.image));
    t.button->SetHint(t.hint);
    const std::string name = t.button->Name;
    t.button->OnClick = [name] { Log("Click " + name); };
    x += 28;
  }
  SpeedPlay.SetBounds(400, 14, 80, 26);
  SpeedPlay.SetCaption("Play");
  SpeedPlay.SetGlyph({plat::kStripSounds, 0});
  SpeedPlay.OnClick = [] { Log("Click SpeedPlay"); };

  Pages.SetBounds(8, 64, 544, 312);
  SheetControls.SetCaption("&Controls");
  SheetLists.SetCaption("&Lists");
  SheetHidden.SetCaption("Hidden");
  SheetHidden.SetTabVisible(false);
  SheetMore.SetCaption("&More");
  Pages.OnChange = [this] { Log("Select Pages page=" + std::to_string(Pages.ActivePageIndex())); };

  GroupInput.SetBounds(8, 6, 260, 150);
  GroupInput.SetCaption("Input");
  LabelName.SetBounds(10, 24, 60, 16);
  LabelName.SetCaption("&Name:");
  EditName.SetBounds(76, 20, 170, 21);
  EditName.OnChange = [this] { Log("Change EditName text=" + EditName.Text()); };
  LabelOther.SetBounds(10, 52, 60, 16);
  LabelOther.SetCaption("&Other:");
  EditOther.SetBounds(76, 48, 170, 21);
  EditOther.OnChange = [this] { Log("Change EditOther text=" + EditOther.Text()); };
  CheckBoxDebug.SetBounds(10, 78, 236, 19);
  CheckBoxDebug.SetCaption("&Write a debug log");
  CheckBoxDebug.OnClick = [this] { Log("Click CheckBoxDebug checked=" + std::to_string(CheckBoxDebug.Checked())); };
  LabelCount.SetBounds(10, 112, 60, 16);
  LabelCount.SetCaption("Count:");
  EditCount.SetBounds(76, 108, 50, 21);
  EditCount.SetReadOnly(true);
  EditCount.SetText("5");
  EditCount.OnChange = [] { Log("Change EditCount"); };
  UpDown1.SetBounds(126, 108, 17, 21);
  UpDown1.SetRange(0, 10);
  UpDown1.SetPosition(5);
  UpDown1.OnChangingEx = [this](int value) {
    const bool ok = value >= 0 && value <= 10;
    Log("Changing UpDown1 position=" + std::to_string(value) + (ok ? "" : " refused"));
    if (ok) EditCount.SetText(std::to_string(value));
    return ok;
  };

  ComboSound.SetBounds(280, 12, 240, 22);
  ComboSound.SetOwnerDraw(16);
  ComboSound.SetItems({"(none)", "chimes.wav", "ding.wav", "notify.wav"});
  ComboSound.SetItemIndex(1);
  ComboSound.OnDrawItem = [this](ui::TCanvas& canvas, int index, const plat::Rect& rect, ui::TOwnerDrawState) {
    canvas.FillRect(rect);
    if (index > 0) canvas.Draw(rect.left + 2, rect.top, {plat::kStripSounds, 0});
    canvas.TextRect(rect, rect.left + 22, rect.top + 1, ComboSound.Items()[index]);
  };
  ComboSound.OnChange = [this] { Log("Select ComboSound index=" + std::to_string(ComboSound.ItemIndex())); };
  ComboMask.SetBounds(280, 44, 240, 22);
  ComboMask.SetItems({"*.doubleclick.example/*", "ads.*", "*/popup*"});
  ComboMask.SetText("ads.*");
  ComboMask.OnChange = [this] { Log("Change ComboMask text=" + ComboMask.Text()); };
  Memo1.SetBounds(280, 76, 240, 80);
  Memo1.SetLines({"A memo takes", "several lines."});
  Memo1.OnChange = [] { Log("Change Memo1"); };
  Progress.SetBounds(8, 168, 512, 18);
  Progress.SetMax(100);
  Progress.SetPosition(40);

  Header1.SetBounds(8, 8, 512, 20);
  Header1.SetSections({{"Address", 200, 60}, {"Opener", 150, 40}, {"Time", 120, 40}});
  Header1.OnSectionResize = [this](int section) {
    Log("SectionResize Header1 section=" + std::to_string(section) + " width=" +
        std::to_string(Header1.SectionWidth(section)));
    ListLeft.Repaint();
    ListRight.Repaint();
  };
  for (ui::TListBox* list : {&ListLeft, &ListRight}) {
    list->SetItemHeight(16);
    list->SetMultiSelect(true);
    list->SetAutoDrag(true);
    const std::string name = list->Name;
    list->OnMouseMove = [name](const ui::TListBox::TPointRow& at) { Log("MouseMove " + name + " " + At(at)); };
    list->OnKeyDown = [name, list](int& key, ui::TShiftState shift) {
      Log("Key " + name + " key=" + std::to_string(key) + " ctrl=" + std::to_string(shift.ctrl));
      if (key == 'A' && shift.ctrl) {
        list->SelectAll();
        key = 0;
      }
    };
    list->OnDragOver = [name, list](ui::TListBox& source, bool& accept) {
      accept = &source != list;
      Log("DragOver " + name + " from " + source.Name + (accept ? "" : " refused"));
    };
    list->OnDragDrop = [this, name, list](ui::TListBox& source, const ui::TListBox::TPointRow& at) {
      Log("DragDrop " + name + " from " + source.Name + " " + At(at) + " rows=" + Rows(source));
      if (list == &ListRight)
        for (int i = 0; i < source.Count(); ++i)
          if (source.Selected(i)) {
            right_.push_back("Row " + std::to_string(i));
            ListRight.AddRow();
          }
    };
    list->PopupMenu = &PopupList;
  }
  ListLeft.SetBounds(8, 28, 512, 160);
  ListLeft.SetCount(100000);
  ListLeft.OnDrawItem = [this](ui::TCanvas& canvas, int index, const plat::Rect& rect,
                                                  ui::TOwnerDrawState) {
    DrawRow(canvas, "Row " + std::to_string(index) + "\thttp://popup" + std::to_string(index) + ".example/",
            index % 4, rect);
  };
  ListRight.SetBounds(8, 196, 512, 80);
  ListRight.OnDrawItem = [this](ui::TCanvas& canvas, int index, const plat::Rect& rect, ui::TOwnerDrawState) {
    DrawRow(canvas, index < static_cast<int>(right_.size()) ? right_[index] : "?", 1, rect);
  };
  MenuSelectAll.SetCaption("Select &all");
  MenuSelectAll.ShortCut = ui::scCtrl | 'A';
  MenuSelectAll.OnClick = [] { Log("Click MenuSelectAll"); };
  MenuDelete.SetCaption("&Delete");
  MenuDelete.ShortCut = plat::VK_DELETE_;
  MenuDelete.OnClick = [] { Log("Click MenuDelete"); };

  LabelMore.SetBounds(12, 12, 400, 40);
  LabelMore.SetCaption("A label on a tab page shows the page's background through it.");

  ButtonAsk.SetBounds(8, 386, 90, 25);
  ButtonAsk.SetCaption("&Ask...");
  ButtonAsk.OnClick = [] {
    Log("Click ButtonAsk");
    TFormAsk ask;
    ask.Realize();
    const int result = ask.ShowModal();
    Log("Modal FormAsk result=" + std::to_string(result));
  };
  ButtonOK.SetBounds(396, 386, 75, 25);
  ButtonOK.SetCaption("OK");
  ButtonOK.SetDefault(true);
  ButtonOK.OnClick = [] { Log("Click ButtonOK"); };
  ButtonCancel.SetBounds(477, 386, 75, 25);
  ButtonCancel.SetCaption("Cancel");
  ButtonCancel.Cancel = true;
  ButtonCancel.OnClick = [] { Log("Click ButtonCancel"); };
  ActiveControl = &EditName;
}

void TFormGallery::DrawRow(ui::TCanvas& canvas, const std::string& text, int image, const plat::Rect& rect) {
  // The columns follow the header's sections.
  canvas.FillRect(rect);
  canvas.Draw(rect.left + 2, rect.top, ImagesRows.At(image));
  const size_t tab = text.find('\t');
  const int first = Header1.SectionWidth(0);
  canvas.TextRect({rect.left + 20, rect.top, first - 2, rect.bottom}, rect.left + 20, rect.top + 1, text.substr(0, tab));
  if (tab != std::string::npos)
    canvas.TextRect({first + 2, rect.top, rect.right, rect.bottom}, first + 2, rect.top + 1, text.substr(tab + 1));
  canvas.MoveTo(first - 1, rect.top);
  canvas.LineTo(first - 1, rect.bottom);
}

void LogWindow(const std::string& name, HWND hwnd) {
  RECT r;
  if (!hwnd || !GetClientRect(hwnd, &r)) return;
  POINT a = {r.left, r.top}, b = {r.right, r.bottom};
  ClientToScreen(hwnd, &a);
  ClientToScreen(hwnd, &b);
  Log("at " + name + " " + std::to_string(a.x) + " " + std::to_string(a.y) + " " + std::to_string(b.x) + " " +
      std::to_string(b.y));
}

void LogControls(const ui::TWinControl& parent) {
  for (const ui::TControl* c : parent.Controls()) {
    if (c->Peer()) LogWindow(c->Name, plat::win32::PeerWindow(*c->Peer()));
    if (auto* w = dynamic_cast<const ui::TWinControl*>(c)) LogControls(*w);
  }
}

void TFormGallery::WriteLayout() {
  Log("dpi " + std::to_string(plat::win32::ScreenDpi()));
  LogWindow(Name, plat::win32::PeerWindow(*Peer()));
  LogControls(*this);
  HWND tabs = FindWindowExA(plat::win32::PeerWindow(*Pages.Peer()), nullptr, WC_TABCONTROLA, nullptr);
  for (int i = 0; i < TabCtrl_GetItemCount(tabs); ++i) {
    RECT r;
    TabCtrl_GetItemRect(tabs, i, &r);
    MapWindowPoints(tabs, nullptr, reinterpret_cast<POINT*>(&r), 2);
    Log("tab " + std::to_string(i) + " " + std::to_string(r.left) + " " + std::to_string(r.top) + " " +
        std::to_string(r.right) + " " + std::to_string(r.bottom));
  }
  for (ui::TListBox* list : {&ListLeft, &ListRight})
    Log("row " + list->Name + " " +
        std::to_string(SendMessageA(plat::win32::PeerWindow(*list->Peer()), LB_GETITEMHEIGHT, 0, 0)));
  Log("ready");
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string log(path, n);
  log = log.substr(0, log.find_last_of('\\') + 1) + "gallery.log";
  g_log = std::fopen(log.c_str(), "wb");  // plain line feeds, for the test's tools

  plat::Services services;
  services.desktop = plat::win32::CreateDesktop().release();
  services.ui = plat::win32::CreateUiHost().release();
  plat::Install(services);

  // The selection of each list is logged whenever it changed, from the idle work.
  auto* form = new TFormGallery;
  plat::win32::RunGuarded([&] {
    form->Realize();
    form->Show();
    form->WriteLayout();
    // What a list of 100,000 rows costs the data-less list box.
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    form->ListLeft.SetCount(100000);
    QueryPerformanceCounter(&after);
    Log("measure ListLeft.SetCount(100000) " +
        std::to_string((after.QuadPart - before.QuadPart) * 1000000 / frequency.QuadPart) + " us");
  });
  std::string last[2];
  ui::TActionList actions(nullptr, "Actions");
  ui::TAction watch(&actions, "ActWatch");
  watch.OnUpdate = [&] {
    int i = 0;
    for (ui::TListBox* list : {&form->ListLeft, &form->ListRight}) {
      const std::string now = Rows(*list) + " caret=" + std::to_string(list->ItemIndex());
      if (now != last[i]) Log("Selection " + list->Name + " rows=" + now);
      last[i++] = now;
    }
  };
  plat::Ui().RunLoop();
  Log("end");
  delete form;
  if (g_log) std::fclose(g_log);
  return 0;
}
