#include "browser/WndEnum.h"

#include <algorithm>

#include "base/Format.h"
#include "platform/Services.h"

TWinLst* WinLst = nullptr;

namespace {

std::string WndKey(plat::Handle wnd) { return Format("%x", {static_cast<unsigned long long>(wnd)}); }

// The class name is read with the same limit as the platform's buffer of 255.
constexpr int kClassNameChars = 254;

}  // namespace

size_t TWinLst::LowerBound(const std::string& key) const {
  auto it = std::lower_bound(items_.begin(), items_.end(), key,
                             [](const Item& item, const std::string& k) { return item.key < k; });
  return static_cast<size_t>(it - items_.begin());
}

int TWinLst::AddWin(plat::Handle wnd) {
  std::string key = WndKey(wnd);
  plat::IDesktop& desktop = plat::Desktop();
  if (!desktop.IsWindowVisible(wnd)) return -1;
  const size_t at = LowerBound(key);
  Item item{std::move(key), {}};
  item.win.Wnd = wnd;
  item.win.ClassName = desktop.GetClassName(wnd, kClassNameChars);
  item.win.ScanState = 0;
  items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
  return static_cast<int>(at);
}

int TWinLst::FindWin(plat::Handle wnd) const {
  const std::string key = WndKey(wnd);
  const size_t at = LowerBound(key);
  return (at < items_.size() && items_[at].key == key) ? static_cast<int>(at) : -1;
}

void TWinLst::Scan() {
  for (Item& item : items_) item.win.ScanState = 1;
  plat::IDesktop& desktop = plat::Desktop();
  for (const std::string& cls : ScanClasses) {
    for (plat::Handle w = desktop.FindWindowEx(0, 0, cls); w != 0; w = desktop.FindWindowEx(0, w, cls)) {
      const int i = FindWin(w);
      if (i >= 0)
        items_[static_cast<size_t>(i)].win.ScanState = 2;
      else
        AddWin(w);
    }
  }
  // From the end backwards, so that a removal does not disturb the walk.
  for (size_t i = items_.size(); i-- > 0;)
    if (items_[i].win.ScanState == 1) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
}

void CreateWinLst() {
  FreeWinLst();
  WinLst = new TWinLst();
  WinLst->ScanClasses = {"Internet Explorer_TridentDlgFrame", "IEFrame"};
  WinLst->Scan();
}

void FreeWinLst() {
  delete WinLst;
  WinLst = nullptr;
}
