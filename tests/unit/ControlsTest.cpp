// The control layer on the simulated desktop, driven as the user drives it:
// through the headless peers' user side, never by calling handlers, so that
// the wiring between the controls and their peers is what is tested.
#include <gtest/gtest.h>

#include <stdexcept>

#include "SimTestUtil.h"
#include "platform/sim/SimMachine.h"
#include "ui/Controls.h"

namespace {

class TTestForm : public ui::TForm {
 public:
  TTestForm() : ui::TForm("FormTest") {
    SetClientSize(300, 200);
    Box.SetBounds(8, 8, 100, 17);
    Go.SetBounds(8, 30, 75, 23);
    Go.SetAction(&ActGo);
    Ok.SetDefault(true);
    Cancel.Cancel = true;
    ActGo.OnUpdate = [this] { ActGo.SetEnabled(Box.Checked()); };
    ActGo.OnExecute = [this] { ++goes; };
    Ok.OnClick = [this] { ModalResult = ui::mrOk; };
    Cancel.OnClick = [this] { ModalResult = ui::mrCancel; };
    Fail.OnClick = [] { throw std::runtime_error("Nothing to see here"); };
    All.SetCaption("Select All");
    All.ShortCut = ui::scCtrl | 'A';
    All.OnClick = [this] { ++selectAlls; };
    Rows.PopupMenu = &Menu;
    Rows.SetMultiSelect(true);
    Rows.OnKeyDown = [this](int& key, ui::TShiftState) { keys.push_back(key); };
    Memo.SetLines({"one", "two"});
    Spin.SetRange(2, 6);
    Spin.SetPosition(4);
    Spin.OnChangingEx = [this](int v) { return v >= Spin.Min() && v <= Spin.Max(); };
    Combo.SetItems({"English", "German"});
    Hidden.SetTabVisible(false);
  }

  ui::TActionList Actions{this, "Actions"};
  ui::TAction ActGo{&Actions, "ActGo"};
  ui::TPopupMenu Menu{this, "Menu"};
  ui::TMenuItem All{&Menu, "All"};
  ui::TCheckBox Box{this, "Box"};
  ui::TButton Go{this, "Go"}, Ok{this, "Ok"}, Cancel{this, "Cancel"}, Fail{this, "Fail"};
  ui::TGroupBox Group{this, "Group"};
  ui::TEdit Inner{&Group, "Inner"};
  ui::TMemo Memo{this, "Memo"};
  ui::TListBox Rows{this, "Rows"};
  ui::TUpDown Spin{this, "Spin"};
  ui::TComboBox Combo{this, "Combo"};
  ui::TPageControl Pages{this, "Pages"};
  ui::TTabSheet First{&Pages, "First"}, Hidden{&Pages, "Hidden"}, Last{&Pages, "Last"};
  ui::TCheckBox OnLast{&Last, "OnLast"};

  int goes = 0, selectAlls = 0;
  std::vector<int> keys;
};

class ControlsTest : public ::testing::Test {
 protected:
  ControlsTest() : machine_({dir_.path(), ""}) {
    machine_.Install();
    form_.Realize();
    form_.Show();
    ui().Idle();
  }
  sim::HeadlessControl& C(const std::string& name) {
    sim::HeadlessControl* c = ui().Find(name == "FormTest" ? name : "FormTest." + name);
    if (!c) throw std::runtime_error("no control " + name);
    return *c;
  }
  sim::SimControls& ui() { return machine_.Windows(); }

  simtest::TempDir dir_;
  sim::SimMachine machine_;
  TTestForm form_;
};

TEST_F(ControlsTest, ActionsFollowEveryHandledEventAndTheirControlsRunThem) {
  EXPECT_FALSE(C("Go").enabled) << "the idle moment after the window showed ran the update handler";
  EXPECT_NE(ui().Click(C("Go")), "");
  EXPECT_EQ(ui().Click(C("Box")), "");
  EXPECT_TRUE(C("Box").checked);
  EXPECT_TRUE(C("Go").enabled) << "the click was followed by the update handlers";
  EXPECT_EQ(ui().Click(C("Go")), "");
  EXPECT_EQ(form_.goes, 1);

  // A change the program makes shows after the next event, here a tick.
  form_.Box.SetChecked(false);
  ui::TTimer timer{"Tick"};
  timer.Interval = 50;
  timer.OnTimer = [] {};
  timer.SetEnabled(true);
  machine_.RunUntil(machine_.NowMs() + 60);
  EXPECT_FALSE(C("Go").enabled);
}

TEST_F(ControlsTest, TheUserActsOnlyOnWhatIsShownAndEnabled) {
  form_.Group.SetVisible(false);
  EXPECT_NE(ui().Type(C("Inner"), "x"), "") << "inside a hidden group";
  form_.Group.SetVisible(true);
  form_.Group.SetEnabled(false);
  EXPECT_NE(ui().Type(C("Inner"), "x"), "") << "inside a disabled group";
  form_.Group.SetEnabled(true);
  EXPECT_EQ(ui().Type(C("Inner"), "typed"), "");
  EXPECT_EQ(form_.Inner.Text(), "typed");
  EXPECT_NE(ui().Click(C("OnLast")), "") << "on a page not shown";
  form_.Hide();
  EXPECT_NE(ui().Click(C("Box")), "") << "on a hidden window";
  EXPECT_FALSE(form_.Box.Checked());
}

TEST_F(ControlsTest, AModalWindowRunsItsLoopAndEndsWithTheResultItsButtonSet) {
  form_.Hide();
  ui().QueueModal([&] {
    EXPECT_TRUE(C("FormTest").modal);
    // Time goes on inside the loop.
    machine_.RunUntil(machine_.NowMs() + 500);
    EXPECT_EQ(ui().Click(C("Ok")), "");
  });
  const int64_t before = machine_.NowMs();
  EXPECT_EQ(form_.ShowModal(), ui::mrOk);
  EXPECT_EQ(machine_.NowMs() - before, 500);
  EXPECT_FALSE(form_.Visible());
  EXPECT_FALSE(C("FormTest").modal);

  // Left open by its user: closed as with Cancel.
  EXPECT_EQ(form_.ShowModal(), ui::mrCancel);
  // Escape clicks the cancel button, Enter the default one.
  ui().QueueModal([&] { ui().Key(C("Box"), plat::VK_ESCAPE_); });
  EXPECT_EQ(form_.ShowModal(), ui::mrCancel);
  ui().QueueModal([&] { ui().Key(C("Box"), plat::VK_RETURN_); });
  EXPECT_EQ(form_.ShowModal(), ui::mrOk);
}

TEST_F(ControlsTest, OtherWindowsRefuseTheUserWhileAModalOneIsOpen) {
  TTestForm dialog;
  dialog.Name = "FormDialog";
  dialog.Realize();
  ui().QueueModal([&] {
    EXPECT_NE(ui().Click(C("Box")), "");
    EXPECT_EQ(ui().Click(*ui().Find("FormDialog.Box")), "");
  });
  dialog.ShowModal();
  EXPECT_EQ(ui().Click(C("Box")), "");
}

TEST_F(ControlsTest, KeysGoToTheMenuShortcutThenTheControlThenTheDialogButtons) {
  form_.Rows.SetCount(3);
  EXPECT_EQ(ui().Key(C("Rows"), 'A', true), "");
  EXPECT_EQ(form_.selectAlls, 1);
  EXPECT_TRUE(form_.keys.empty()) << "the shortcut took the key";
  EXPECT_EQ(ui().Key(C("Rows"), plat::VK_INSERT_), "");
  EXPECT_EQ(form_.keys, std::vector<int>{plat::VK_INSERT_});
  // A memo keeps Enter for its new lines.
  form_.Show();
  int oks = 0;
  form_.Ok.OnClick = [&] { ++oks; };
  ui().Key(C("Memo"), plat::VK_RETURN_);
  EXPECT_EQ(oks, 0);
  ui().Key(C("Box"), plat::VK_RETURN_);
  EXPECT_EQ(oks, 1);
  EXPECT_EQ(C("Memo").text, "one\r\ntwo");
}

TEST_F(ControlsTest, ListRowsKeepTheirSelectionAcrossInsertsAndDeletes) {
  form_.Rows.SetCount(4);
  EXPECT_EQ(ui().SelectRows(C("Rows"), {1, 3}, 3), "");
  EXPECT_EQ(form_.Rows.SelCount(), 2);
  form_.Rows.InsertRow(0);
  EXPECT_TRUE(form_.Rows.Selected(2) && form_.Rows.Selected(4));
  EXPECT_EQ(form_.Rows.ItemIndex(), 4);
  form_.Rows.DeleteRow(2);
  EXPECT_EQ(form_.Rows.SelCount(), 1);
  EXPECT_EQ(C("Rows").SelectedRows(), std::vector<int>{3});
  EXPECT_EQ(C("Rows").itemIndex, 3);
  EXPECT_NE(ui().SelectRows(C("Rows"), {7}, 7), "");
}

TEST_F(ControlsTest, PagesUpDownsAndCombos) {
  // The hidden page has no tab: the user's second tab is the last page.
  EXPECT_EQ(C("Pages").items.size(), 2u);
  EXPECT_EQ(C("Hidden").itemIndex, -1);
  EXPECT_EQ(ui().Choose(C("Pages"), 1), "");
  EXPECT_EQ(form_.Pages.ActivePageIndex(), 2);
  EXPECT_EQ(ui().Click(C("OnLast")), "");
  EXPECT_NE(ui().Click(C("Hidden")), "");
  EXPECT_EQ(ui().Click(C("First")), "");
  EXPECT_EQ(form_.Pages.ActivePageIndex(), 0);

  EXPECT_EQ(ui().UpDown(C("Spin"), true, 5), "");
  EXPECT_EQ(form_.Spin.Position(), 6) << "the arrows stop at the end of their range";
  EXPECT_EQ(C("Spin").position, 6);
  form_.Spin.SetPosition(9);
  EXPECT_EQ(form_.Spin.Position(), 6) << "setting it takes the same check";

  EXPECT_EQ(ui().Choose(C("Combo"), 1), "");
  EXPECT_EQ(form_.Combo.Text(), "German");
  EXPECT_EQ(ui().Type(C("Combo"), "English"), "");
  EXPECT_EQ(form_.Combo.ItemIndex(), 0);
  EXPECT_EQ(ui().Type(C("Combo"), "Klingon"), "");
  EXPECT_EQ(form_.Combo.ItemIndex(), -1);
  EXPECT_EQ(form_.Combo.Text(), "Klingon");
}

TEST_F(ControlsTest, AnErrorInAHandlerIsShownOnceAndTheWindowGoesOn) {
  EXPECT_EQ(ui().Click(C("Fail")), "");
  ASSERT_EQ(machine_.Messages().size(), 1u);
  EXPECT_EQ(machine_.Messages()[0].text, "Nothing to see here.");
  EXPECT_EQ(machine_.Messages()[0].caption, "Ondrel");
  EXPECT_EQ(ui().Click(C("Box")), "");
  EXPECT_TRUE(form_.Box.Checked());
}

}  // namespace
