#include "app/Program.h"

#include "app/MainOndrel.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "browser/Detection.h"
#include "browser/IEList.h"
#include "browser/WndEnum.h"
#include "eraser/FormEraser.h"
#include "lists/CloseIt.h"
#include "lists/EditWinDescr.h"
#include "lists/RunLists.h"
#include "platform/Services.h"
#include "settings/LangSup.h"
#include "settings/LiveSettings.h"
#include "settings/LogFile.h"
#include "settings/RegProc.h"
#include "windows/About.h"
#include "windows/BugReport.h"
#include "windows/Options.h"

namespace {

bool g_running = false;

// Makes a window with its controls and runs its creation handler; an error
// there is shown and the program goes on without what was left undone.
template <class T>
void CreateForm(T*& global) {
  global = new T();
  global->Realize();
  ui::Application.Guard([&] { global->FormCreate(); });
}

template <class T>
void DestroyForm(T*& global) {
  delete global;
  global = nullptr;
}

}  // namespace

void ProgramStartup() {
  ui::Application.Reset();
  BlockingSuspended = false;
  Detection = TDetectionState{};
  // The browser frames and dialog windows open before any window of ours are
  // the user's own: they are known from the start and never count as new.
  CreateWinLst();

  Log.Create(LogFilePath(), false);
  Log.WriteStartBanner();
  FillAppVersion();
  Log.Write(LogAlways,
            Format("File %s Version(%d.%d.%d.%d)", {ExtractFileName(plat::System().ProgramPath()), AppVersion.Major,
                                                   AppVersion.Minor, AppVersion.Release, AppVersion.Build}),
            false);
  EnsureSettingsKey();
  RefreshLanguages();

  ui::Application.ShowMainForm = false;
  g_running = true;
  // An error in any step of the main window's creation ends that creation
  // there; it is shown and the program goes on with what was done.
  CreateForm(FormGarvel);

  plat::Ui().SetSessionCallbacks({
      [] {
        bool answer = true;
        ui::Application.Guard([&] { answer = FormGarvel ? FormGarvel->WMQUERYENDSESSION() : true; });
        return answer;
      },
      [](bool ending) {
        if (ending) ProgramShutdown();
      },
  });

  CreateForm(FormWinDescr);
  ui::Application.Guard([] {
    BuildSoundList();
    LoadLiveSettings();
  });
  CreateForm(FormOptions);
  CreateForm(FormAbout);
  ui::Application.Guard([] { LoadAllLists(); });
  CreateForm(FormCloseIt);
  CreateForm(FormAllowIt);
  CreateForm(FormTheyWereBrowsed);
  CreateForm(FormTheyWereClosed);
  CreateForm(FormEraser);
  CreateForm(FormBugReport);

  FormGarvel->Timer1.SetEnabled(true);
}

void ProgramShutdown() {
  if (!g_running) return;
  g_running = false;
  // The other windows are destroyed first, the last made first; then the
  // lists get their last save.
  DestroyForm(FormBugReport);
  DestroyForm(FormEraser);
  DestroyForm(FormTheyWereClosed);
  DestroyForm(FormTheyWereBrowsed);
  DestroyForm(FormAllowIt);
  DestroyForm(FormCloseIt);
  DestroyForm(FormAbout);
  DestroyForm(FormOptions);
  DestroyForm(FormWinDescr);
  ui::Application.Guard([] { SaveAllLists(true); });
  FreeAllLists();
  if (FormGarvel) {
    FormGarvel->Timer1.SetEnabled(false);
    ui::Application.Guard([] { FormGarvel->FormDestroy(); });
    FormGarvel->ShellWinEvents.Disconnect();
    delete FormGarvel;
    FormGarvel = nullptr;
  }
  ReleaseShellWin();
  FreeWinLst();
  FreeLanguages();
  ResetLiveSettings();
  Log.Close();
}

bool ProgramLoopEnded() { return ui::Application.Terminated(); }

bool ProgramRunning() { return g_running; }
