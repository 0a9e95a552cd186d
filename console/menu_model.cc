#include "console/menu_model.h"

#include <array>

namespace wb::console {

namespace {

using enum BandId;

constexpr std::array<Tool, 12> kTools = {{
    {1, u"mnuVIP_ViewAll", u"VIP维护", kPopupBand1, std::nullopt, false},
    {2, u"mnuVIP", u"VIP管理", kMnuBand1, kPopupBand1, false},
    {3, u"mnuVIP_Sheme", u"积分方案设置", kPopupBand1, std::nullopt, true},
    {4, u"mnuVIP_ViewScore", u"查看积分", kPopupBand1, std::nullopt, false},
    {5, u"mnuOther", u"其他", kMnuBand1, kPopupBand2, false},
    {6, u"mnuOther_Exit", u"退出", kPopupBand2, std::nullopt, true},
    {7, u"mnuSet_Offset", u"分支机构", kPopupBand3, std::nullopt, false},
    {8, u"mnuSet", u"设置", kMnuBand1, kPopupBand3, false},
    {9, u"mnuOther_Bill", u"小票领用", kPopupBand2, std::nullopt, false},
    {10, u"mnuOther_HotKey", u"查看前台快捷键", kPopupBand2, std::nullopt, false},
    {11, u"mnuOther_ReckoningDaily", u"日结", kPopupBand2, std::nullopt, true},
    {12, u"mnuOther_ReckoningDailyOver", u"反日结", kPopupBand2, std::nullopt, false},
}};

const std::vector<Band>& AllBands() {
  static const std::vector<Band> bands = {
      {kMnuBand1, u"MnuBand1", BandKind::kMenuBar, {2, 8, 5}},
      {kPopupBand1, u"PopupBand1", BandKind::kPopup, {1, 4, 3}},
      {kPopupBand2, u"PopupBand2", BandKind::kPopup, {10, 9, 11, 12, 6}},
      {kPopupBand3, u"PopupBand3", BandKind::kPopup, {7}},
  };
  return bands;
}

}  // namespace

std::span<const Tool> Tools() {
  return kTools;
}

std::span<const Band> Bands() {
  return AllBands();
}

const Tool* FindTool(int32_t id) {
  for (const Tool& tool : kTools) {
    if (tool.id == id)
      return &tool;
  }
  return nullptr;
}

const Tool* FindTool(StringView name) {
  for (const Tool& tool : kTools) {
    if (tool.name == name)
      return &tool;
  }
  return nullptr;
}

const Band& GetBand(BandId id) {
  for (const Band& band : AllBands()) {
    if (band.id == id)
      return band;
  }
  return AllBands().front();  // unreachable: every id has its band
}

}  // namespace wb::console
