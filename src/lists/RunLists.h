#pragma once
// The four lists of the running program.
#include <string>

#include "base/DateTime.h"
#include "lists/ClWin.h"

extern TWinDescrList* CloseList;
extern TWinDescrList* AllowList;
extern TWinDescrList* ClosedList;
extern TWinDescrList* BrowsedList;

// The bare file name of a run-time list ("closeit.ppe", ...).
std::string ListFileName(const TWinDescrList* list);

void LoadAllLists();   // creates the four lists and loads them
// Saves every changed list. When one cannot be written the others are still
// saved, and the first error is raised afterwards.
// |lastSave| at shut-down: every failure is raised then.
void SaveAllLists(bool lastSave = false);
void FreeAllLists();

void AddListEntry(TWinDescrList* list, const std::string& referrer, const std::string& url, int16_t kind,
                  TDateTime elapsed);
std::string ElapsedText(TDateTime elapsed);
