// Day-end and reverse day-end: the outcome, and any failure, go to a notice;
// nothing reaches the caller.
#include "bridge/bridge.h"
#include "bridge/convert.h"
#include "core/err.h"
#include "core/trap.h"
#include "launchers/modpublic.h"
#include "session/mmts.h"

namespace wb::modpublic {

bool RunDayEnd(bool reverse, String strUser, String strCode) {
  // The user name given is not used: the component gets the session's own.
  static_cast<void>(strUser);
  bool result = false;
  // Passed to the component by reference: it may write into it, and the
  // texts below are chosen from what it holds afterwards.
  Variant reverse_arg = Variant::Bool(reverse);
  // Held outside the trapped body so that it outlives a failure notice.
  ObjectRef run;
  const auto reverse_now = [&] {
    if (reverse_arg.kind() == VarKind::kBoolean)
      return reverse_arg.integral() != 0;
    return ToBool(reverse_arg);
  };

  return Trap(
      [&] {
        run = CreateObject(u"DayClose.CDayCloseRun");
        LetMember(run, u"checktype", Variant::Integer(1));
        LetMember(run, u"User", Variant::Str(mmts::GetSessionUser()));
        Variant code_arg = Variant::Str(strCode);
        const Variant answer =
            GetMember(run, u"ShowReckoning", {Arg::Ref(code_arg), Arg::Ref(reverse_arg)});
        // A Boolean parameter: whatever the component wrote is held as a Boolean.
        reverse_arg = Variant::Bool(reverse_now());
        if (!PassesAnswerTest(answer)) {
          run.Reset();
          return false;
        }
        run.Reset();
        result = true;
        ShowNotice(reverse_now() ? u"反日结完成" : u"日结完成", kStyleInformation, false);
        return result;
      },
      [&] {
        // The failure notice carries the error's description on its second line.
        if (reverse_arg.kind() != VarKind::kBoolean)
          reverse_arg = Variant::Bool(reverse);
        ShowNotice(reverse_now() ? u"反日结失败" : u"日结失败", kStyleCritical, true);
        run.Reset();
        // Leaving a handler that dealt with the error clears it, as the runtime does.
        Err::Clear();
        return result;
      });
}

}  // namespace wb::modpublic
