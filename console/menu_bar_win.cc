#include "console/menu_bar_win.h"

#include "bridge/com_errors.h"
#include "console/menu_model.h"

namespace wb::console {

namespace {

[[noreturn]] void RaiseLastError() {
  const DWORD error = GetLastError();
  RaiseRuntimeHResult(HRESULT_FROM_WIN32(error != ERROR_SUCCESS ? error : ERROR_OUTOFMEMORY));
}

// A menu just created, owned; raises when its creation failed.
win::ScopedHMENU Created(HMENU menu) {
  if (menu == nullptr)
    RaiseLastError();
  return win::ScopedHMENU(menu);
}

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

win::ScopedHMENU BuildPopup(const Band& band) {
  win::ScopedHMENU popup = Created(CreatePopupMenu());
  for (int32_t id : band.tool_ids) {
    const Tool& tool = *FindTool(id);
    if (tool.begins_group)
      AppendSeparator(popup.Get());
    AppendTool(popup.Get(), tool, nullptr);
  }
  return popup;
}

}  // namespace

win::ScopedHMENU BuildMenuBar() {
  win::ScopedHMENU bar = Created(CreateMenu());
  for (int32_t id : GetBand(BandId::kMnuBand1).tool_ids) {
    const Tool& tool = *FindTool(id);
    win::ScopedHMENU popup = BuildPopup(GetBand(*tool.opens));
    AppendTool(bar.Get(), tool, popup.Get());
    (void)popup.Release();  // the bar owns it now
  }
  return bar;
}

}  // namespace wb::console
