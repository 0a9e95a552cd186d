// The function-right check: the suite's rights component decides.
#include "bridge/bridge.h"
#include "bridge/convert.h"
#include "core/err.h"
#include "core/trap.h"
#include "session/mmts.h"

namespace wb::mmts {

bool CheckAccessRight(int32_t func_id, int32_t check_type, int32_t check_flag) {
  return Trap(
      [&] {
        const ObjectRef desk = CreateObject(u"Gatekeeper.RightsDesk");
        const String props = GetPropsString();
        Variant func = Variant::Long(func_id);
        Variant type = Variant::Long(check_type);
        Variant flag = Variant::Long(check_flag);
        return ToBool(GetMember(
            desk, u"AccessCheck",
            {Arg::Val(Variant::Str(props)), Arg::Ref(func), Arg::Ref(type), Arg::Ref(flag)}));
      },
      []() -> bool {
        const int32_t number = Err::Number();
        const String description = Err::Description();
        // Help file and context stay those of the incoming error.
        Err::Raise(number, String(u"Err_CheckAccessRight"), TranslateText(description));
      });
}

}  // namespace wb::mmts
