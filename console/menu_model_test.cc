#include "console/menu_model.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace wb::console {
namespace {

std::vector<std::string> Captions(const Band& band) {
  std::vector<std::string> out;
  for (int32_t id : band.tool_ids) {
    const Tool* tool = FindTool(id);
    if (tool->begins_group)
      out.push_back("-");
    out.push_back(ToUtf8(tool->caption));
  }
  return out;
}

TEST(MenuModel, TwelveToolsWithTheirIdsNamesAndCaptions) {
  struct Row {
    int32_t id;
    const char* name;
    const char* caption;
  };
  const Row rows[] = {
      {1, "mnuVIP_ViewAll", "VIP维护"},
      {2, "mnuVIP", "VIP管理"},
      {3, "mnuVIP_Sheme", "积分方案设置"},
      {4, "mnuVIP_ViewScore", "查看积分"},
      {5, "mnuOther", "其他"},
      {6, "mnuOther_Exit", "退出"},
      {7, "mnuSet_Offset", "分支机构"},
      {8, "mnuSet", "设置"},
      {9, "mnuOther_Bill", "小票领用"},
      {10, "mnuOther_HotKey", "查看前台快捷键"},
      {11, "mnuOther_ReckoningDaily", "日结"},
      {12, "mnuOther_ReckoningDailyOver", "反日结"},
  };
  ASSERT_EQ(Tools().size(), std::size(rows));
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Tool& tool = Tools()[i];
    EXPECT_EQ(tool.id, rows[i].id);
    EXPECT_EQ(ToUtf8(tool.name), rows[i].name);
    EXPECT_EQ(ToUtf8(tool.caption), rows[i].caption);
    EXPECT_EQ(FindTool(tool.id), &tool);
    EXPECT_EQ(FindTool(tool.name), &tool);
  }
}

TEST(MenuModel, FindIsExact) {
  EXPECT_EQ(FindTool(0), nullptr);
  EXPECT_EQ(FindTool(13), nullptr);
  EXPECT_EQ(FindTool(u"mnuvip_viewall"), nullptr);
  EXPECT_EQ(FindTool(u"mnuVIP_ViewAll "), nullptr);
}

TEST(MenuModel, BandsInStoredOrderWithToolsInDisplayOrder) {
  ASSERT_EQ(Bands().size(), 4u);
  const char* names[] = {"MnuBand1", "PopupBand1", "PopupBand2", "PopupBand3"};
  for (size_t i = 0; i < 4; ++i)
    EXPECT_EQ(ToUtf8(Bands()[i].name), names[i]);
  EXPECT_EQ(Bands()[0].kind, BandKind::kMenuBar);
  for (size_t i = 1; i < 4; ++i)
    EXPECT_EQ(Bands()[i].kind, BandKind::kPopup);

  EXPECT_EQ(Captions(GetBand(BandId::kMnuBand1)),
            (std::vector<std::string>{"VIP管理", "设置", "其他"}));
  EXPECT_EQ(Captions(GetBand(BandId::kPopupBand1)),
            (std::vector<std::string>{"VIP维护", "查看积分", "-", "积分方案设置"}));
  EXPECT_EQ(Captions(GetBand(BandId::kPopupBand3)), (std::vector<std::string>{"分支机构"}));
  EXPECT_EQ(
      Captions(GetBand(BandId::kPopupBand2)),
      (std::vector<std::string>{"查看前台快捷键", "小票领用", "-", "日结", "反日结", "-", "退出"}));
}

TEST(MenuModel, EveryToolSitsInTheBandThatListsIt) {
  std::set<int32_t> listed;
  for (const Band& band : Bands()) {
    for (int32_t id : band.tool_ids) {
      EXPECT_EQ(FindTool(id)->band, band.id) << id;
      EXPECT_TRUE(listed.insert(id).second) << "listed twice: " << id;
    }
  }
  EXPECT_EQ(listed.size(), 12u);
}

TEST(MenuModel, MenuBarToolsOpenTheirPopups) {
  EXPECT_EQ(FindTool(u"mnuVIP")->opens, BandId::kPopupBand1);
  EXPECT_EQ(FindTool(u"mnuSet")->opens, BandId::kPopupBand3);
  EXPECT_EQ(FindTool(u"mnuOther")->opens, BandId::kPopupBand2);
  for (const Tool& tool : Tools()) {
    EXPECT_EQ(tool.opens.has_value(), tool.band == BandId::kMnuBand1) << ToUtf8(tool.name);
  }
}

TEST(MenuModel, ThreeToolsBeginAGroup) {
  std::set<std::string> groups;
  for (const Tool& tool : Tools()) {
    if (tool.begins_group)
      groups.insert(ToUtf8(tool.name));
  }
  EXPECT_EQ(groups,
            (std::set<std::string>{"mnuVIP_Sheme", "mnuOther_Exit", "mnuOther_ReckoningDaily"}));
}

}  // namespace
}  // namespace wb::console
