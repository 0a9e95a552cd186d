#include "console/menu_bar_win.h"

#include <utility>

#include "bridge/com_errors.h"
#include "console/menu_model.h"

namespace wb::console {

namespace {

[[noreturn]] void RaiseLastError() {
  const DWORD error = GetLastError();
  RaiseRuntimeHResult(HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_OUTOFMEMORY));
}

// Destroys the menu (and its popups) unless released.
class MenuHolder {
 public:
  explicit MenuHolder(HMENU menu) : menu_(menu) {
    if (menu_ == nullptr)
      RaiseLastError();
  }
  MenuHolder(const MenuHolder&) = delete;
  MenuHolder& operator=(const MenuHolder&) = delete;
  ~MenuHolder() {
    if (menu_)
      DestroyMenu(menu_);
  }
  HMENU get() const { return menu_; }
  HMENU Release() { return std::exchange(menu_, nullptr); }

 private:
  HMENU menu_;
};

void AppendSeparator(HMENU menu) {
  if (!AppendMenuW(menu, MF_SEPARATOR, 0, nullptr))
    RaiseLastError();
}

// An item with the tool's caption and id; `popup` (adopted) when it opens one.
void AppendTool(HMENU menu, const Tool& tool, HMENU popup) {
  String caption(tool.caption);
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | (popup ? MIIM_SUBMENU : 0);
  item.fType = MFT_STRING;
  item.wID = static_cast<UINT>(tool.id);
  item.hSubMenu = popup;
  item.dwTypeData = reinterpret_cast<wchar_t*>(caption.data());
  if (!InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &item))
    RaiseLastError();
}

HMENU BuildPopup(const Band& band) {
  MenuHolder popup(CreatePopupMenu());
  for (int32_t id : band.tool_ids) {
    const Tool& tool = *FindTool(id);
    if (tool.begins_group)
      AppendSeparator(popup.get());
    AppendTool(popup.get(), tool, nullptr);
  }
  return popup.Release();
}

}  // namespace

HMENU BuildMenuBar() {
  MenuHolder bar(CreateMenu());
  for (int32_t id : GetBand(BandId::kMnuBand1).tool_ids) {
    const Tool& tool = *FindTool(id);
    MenuHolder popup(BuildPopup(GetBand(*tool.opens)));
    AppendTool(bar.get(), tool, popup.get());
    popup.Release();  // the bar owns it now
  }
  return bar.Release();
}

}  // namespace wb::console
