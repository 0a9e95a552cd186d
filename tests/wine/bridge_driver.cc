// A host that drives the suite's components through the bridge the way a
// store-function call does (the session's properties, the right check, the
// branch-office setup), printing each step and the error of any that fails.
// tools/main.sh runs it against the registered reference suite.
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <string>

#include "bridge/bridge.h"
#include "bridge/convert.h"
#include "bridge/err.h"
#include "bridge/platform.h"

namespace {

using wb::Arg;
using wb::Variant;

void Step(const char* what, const std::string& result) {
  std::printf("%s: %s\n", what, result.c_str());
  std::fflush(stdout);
}

std::string Show(const Variant& v) {
  if (v.IsObject())
    return "<object>";
  return std::string(wb::KindName(v.kind())) + " " + wb::ToUtf8(wb::ToString(v));
}

void TypicalRequest() {
  const Variant pid = Variant::Long(static_cast<int32_t>(wb::platform::CurrentProcessId()));
  wb::AutomationObject session = wb::CreateObject(u"CtxStore.SessionBag");
  const Variant user =
      wb::GetMember(session, u"GetProperty", {Arg::Val(pid), Arg::Val(Variant::Str(u"UserName"))});
  Step("UserName", Show(user));
  const Variant props = wb::GetMember(session, u"GetProperty",
                                      {Arg::Val(pid), Arg::Val(Variant::Str(u"PropsString"))});
  Step("PropsString", Show(props));
  session.Reset();

  wb::AutomationObject branch = wb::CreateObject(u"BranchLink.ClsLink");
  wb::LetMember(branch, u"DataBaseType", Variant::Integer(1));
  wb::AutomationObject rights = wb::CreateObject(u"Gatekeeper.RightsDesk");
  const Variant allowed =
      wb::GetMember(rights, u"AccessCheck",
                    {Arg::Val(props), Arg::Val(Variant::Long(2812)), Arg::Val(Variant::Long(1)),
                     Arg::Val(Variant::Long(0x200000))});
  Step("AccessCheck(2812)", Show(allowed));
  if (wb::ToBool(allowed)) {
    wb::CallMember(branch, u"InitSetting");
    Step("InitSetting", "called");
  }
}

}  // namespace

int main() {
  if (FAILED(CoInitialize(nullptr)))
    return 2;
  int rc = 0;
  wb::Trap([] { TypicalRequest(); },
           [&rc] {
             const wb::ErrRecord& e = wb::Err::Get();
             Step("error", std::to_string(e.number) + " (" + wb::ToUtf8(e.source) +
                               "): " + wb::ToUtf8(e.description));
             rc = 1;
           });
  CoUninitialize();
  return rc;
}
