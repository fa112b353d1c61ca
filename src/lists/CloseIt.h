#pragma once
// The four list windows: each shows one of the program's run-time lists
// through the list frame. The close list's window is the base; the allow,
// closed and browsed lists' windows differ in their list, their kind, the
// operations switched off and their caption. The windows do not own the
// lists, and closing one only hides it.
#include <string>

#include "lists/WinDescr.h"
#include "ui/Controls.h"

class TFormCloseIt : public ui::TForm {
 public:
  TFormCloseIt() : TFormCloseIt("FormCloseIt", 322, 110) {}
  ~TFormCloseIt() override;

  TFrameWinDescr FrameWinDescr{this};

  // Creation: the list, its kind and the switches, the rows, the texts.
  virtual void FormCreate();
  void FormDestroy();
  virtual void ApplyLanguage();
  // One empty row per entry of the list, so that row i shows entry i.
  void LoadEntries();

 protected:
  TFormCloseIt(const std::string& name, int left, int top);
  // Shows the list, with its kind and the operations that belong to it.
  void Attach(TWinDescrList* list, int16_t kind);
};

class TFormAllowIt : public TFormCloseIt {
 public:
  TFormAllowIt() : TFormCloseIt("FormAllowIt", 244, 117) {}
  void FormCreate() override;
  void ApplyLanguage() override;
};

class TFormTheyWereClosed : public TFormCloseIt {
 public:
  TFormTheyWereClosed() : TFormCloseIt("FormTheyWereClosed", 171, 100) {}
  void FormCreate() override;
  void ApplyLanguage() override;
};

class TFormTheyWereBrowsed : public TFormCloseIt {
 public:
  TFormTheyWereBrowsed() : TFormCloseIt("FormTheyWereBrowsed", 109, 71) {}
  void FormCreate() override;
  void ApplyLanguage() override;
};

extern TFormCloseIt* FormCloseIt;
extern TFormAllowIt* FormAllowIt;
extern TFormTheyWereClosed* FormTheyWereClosed;
extern TFormTheyWereBrowsed* FormTheyWereBrowsed;
