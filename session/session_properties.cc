// Session properties of the current process, read afresh from the suite's
// session component at every call.
#include "bridge/bridge.h"
#include "bridge/convert.h"
#include "core/platform.h"
#include "session/mmts.h"

namespace wb::mmts {

namespace {

String ReadAsString(const char16_t* property) {
  String name = property;
  return ToString(GetSessionProperty(name));
}

}  // namespace

Variant GetSessionProperty(String& name) {
  Variant process_id = Variant::Long(static_cast<int32_t>(platform::CurrentProcessId()));
  ObjectRef bag = CreateObject(u"CtxStore.SessionBag");
  Variant name_arg = Variant::Str(name);
  Variant value = GetObjectOrValue(bag, u"GetProperty", {Arg::Ref(process_id), Arg::Ref(name_arg)});
  // The name went by reference: what the component wrote is the caller's.
  name = ToString(name_arg);
  return value;
}

String GetSessionUser() {
  return ReadAsString(u"UserName");
}

String GetPropsString() {
  return ReadAsString(u"PropsString");
}

}  // namespace wb::mmts
