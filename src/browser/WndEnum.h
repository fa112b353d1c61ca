#pragma once
// The top-level windows that the detection watches without browser events:
// the browser frames (windows that other programs open do not pass through a
// new-window request) and the browser's modeless dialog windows. Every tick
// refreshes the list; a window that appears for the first time is new.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace WndEnum {

// One watched window (not the entry of the window description lists).
class TWinDescr {
 public:
  plat::Handle Wnd = 0;
  std::string ClassName;
  // 0 = appeared in the latest scan, 1 = not (yet) found again in the scan
  // under way, 2 = found again.
  uint8_t ScanState = 0;
};

}  // namespace WndEnum

// A list of windows kept sorted by the window handle written with "%x", so
// that a window is found by its handle with a search of the keys.
class TWinLst {
 public:
  // The window classes to look for, in scan order.
  std::vector<std::string> ScanClasses;

  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Keys(int index) const { return items_[index].key; }
  WndEnum::TWinDescr& Objects(int index) { return items_[index].win; }

  // Adds a visible window; its index, or -1 when it is not visible.
  int AddWin(plat::Handle wnd);
  // The index of the window, or -1.
  int FindWin(plat::Handle wnd) const;
  // Refreshes the list from the desktop: new visible windows enter with
  // ScanState 0, windows found again get 2, windows gone are dropped.
  void Scan();

 private:
  struct Item {
    std::string key;
    WndEnum::TWinDescr win;
  };
  std::vector<Item> items_;

  // Where |key| stands or would stand in the sorted keys.
  size_t LowerBound(const std::string& key) const;
};

// The one list of the running program: created before any window of the
// program exists, with one scan at once, so that the windows open at start
// never count as new.
extern TWinLst* WinLst;
void CreateWinLst();
void FreeWinLst();
