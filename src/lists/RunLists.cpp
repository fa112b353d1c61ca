#include "lists/RunLists.h"

#include <cmath>
#include <exception>

#include "base/Format.h"
#include "lists/ListUtils.h"
#include "settings/LiveSettings.h"

TWinDescrList* CloseList = nullptr;
TWinDescrList* AllowList = nullptr;
TWinDescrList* ClosedList = nullptr;
TWinDescrList* BrowsedList = nullptr;

std::string ListFileName(const TWinDescrList* list) {
  if (!list) return "";
  if (list == CloseList) return "closeit.ppe";
  if (list == AllowList) return "allowit.ppe";
  if (list == ClosedList) return "closed.ppe";
  if (list == BrowsedList) return "browsed.ppe";
  return "";
}

void LoadAllLists() {
  FreeAllLists();  // a second start in the same process begins afresh
  CloseList = new TWinDescrList;
  AllowList = new TWinDescrList;
  ClosedList = new TWinDescrList;
  BrowsedList = new TWinDescrList;
  for (TWinDescrList* list : {CloseList, AllowList, BrowsedList, ClosedList}) list->LoadList(ListFileName(list));
}

void SaveAllLists(bool lastSave) {
  // A list that cannot be written must not keep the others from being saved
  // (this also runs at shut-down); the first error is raised afterwards.
  std::exception_ptr first;
  for (TWinDescrList* list : {CloseList, AllowList, ClosedList, BrowsedList}) {
    if (!list) continue;
    try {
      list->SaveList(ListFileName(list), lastSave);
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  }
  if (first) std::rethrow_exception(first);
}

void FreeAllLists() {
  for (TWinDescrList** list : {&CloseList, &AllowList, &ClosedList, &BrowsedList}) {
    delete *list;
    *list = nullptr;
  }
}

void AddListEntry(TWinDescrList* list, const std::string& referrer, const std::string& url, int16_t kind,
                  TDateTime elapsed) {
  if (!list) return;
  if (list == ClosedList && !Settings.EnableClosedList) return;
  if (list == BrowsedList && !Settings.EnableBrowsedList) return;
  // AddDescr tells the list's window (through OnAppend) to add the new row.
  list->AddDescr("", referrer, url, ElapsedText(elapsed), kind, 0, NowUnixSec());
}

std::string ElapsedText(TDateTime elapsed) {
  if (elapsed == 0) return "";
  // The boundary is taken on whole milliseconds, the precision the text
  // shows, so that a value a rounding error short of a minute does not read
  // "00:000 sec.".
  if (elapsed < 0 || std::llround(elapsed * 86400000.0) < 60000) {
    // Seconds and milliseconds of the time of day (of the absolute value).
    const int64_t ms = TimeOfDayMs(elapsed);
    return Format("%.2d:%.3d sec.", {static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)});
  }
  return "> 1 min.";
}
