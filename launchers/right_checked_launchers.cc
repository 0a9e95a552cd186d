// Launchers guarded by a function right: a refusal is a notice and False.
#include "bridge/bridge.h"
#include "bridge/thread_state.h"
#include "core/trap.h"
#include "launchers/modpublic.h"
#include "session/mmts.h"

namespace wb::modpublic {

namespace {

constexpr int32_t kRightFlag = 0x200000;

struct LauncherState {
  int16_t gDataBaseType = 0;
};

}  // namespace

int16_t& gDataBaseType() {
  return PerThread<LauncherState>().gDataBaseType;
}

bool ShowBranchSetup() {
  return TrapPassingThrough([] {
    bool result = false;
    // The component is created and configured before the right is asked.
    ObjectRef link = CreateObject(u"BranchLink.ClsLink");
    LetMember(link, u"DataBaseType", Variant::Integer(gDataBaseType()));
    if (mmts::CheckAccessRight(2812, 1, kRightFlag)) {
      CallMember(link, u"InitSetting");
      result = true;
    } else {
      ShowNotice(u"您没有设置机构的权限!", kStyleExclamation, false);
    }
    link.Reset();
    return result;
  });
}

bool ShowMemberPoints(String strVIPNumber) {
  return TrapPassingThrough([&] {
    // Nothing is created unless the right is granted.
    if (!mmts::CheckAccessRight(2811, 3, kRightFlag)) {
      ShowNotice(u"您没有查询积分的权限", kStyleExclamation, false);
      return false;
    }
    ObjectRef points = CreateObject(u"Loyalty.CPoints");
    LetMember(points, u"VIPNumber", Variant::Str(strVIPNumber));
    CallMember(points, u"ViewVIPScore");
    points.Reset();
    return true;
  });
}

}  // namespace wb::modpublic
