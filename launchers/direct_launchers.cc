// Launchers that open a store function directly: create the component, give
// it its settings, call its entry method, let it go.
#include "bridge/bridge.h"
#include "core/trap.h"
#include "launchers/modpublic.h"

namespace wb::modpublic {

namespace {

bool Launch(StringView prog_id, StringView method) {
  return TrapPassingThrough([&] {
    ObjectRef component = CreateObject(prog_id);
    CallMember(component, method);
    component.Reset();
    return true;
  });
}

}  // namespace

bool ShowKeyMap() {
  return Launch(u"TillGuide.CKeyMap", u"ShowHELP");
}

bool ShowReceiptRoll() {
  return Launch(u"ReceiptRoll.CReceiptRoll", u"Showform");
}

bool ShowLoyaltyPlan() {
  return Launch(u"Loyalty.CPlan", u"Show");
}

bool ShowMemberLookup() {
  return TrapPassingThrough([] {
    ObjectRef lookup = CreateObject(u"Finder.OneRecordPick");
    {
      // A second reference to the same instance for the settings and the
      // call, released before the first.
      ObjectRef with = lookup;
      LetMember(with, u"ClassTypeID", Variant::Long(1005001));
      LetMember(with, u"classTypeFilter", Variant::Str(u" FBillTypeID=1 AND FID>0 "));
      LetMember(with, u"ShowType", Variant::Integer(0));
      CallMember(with, u"Show");
    }
    lookup.Reset();
    return true;
  });
}

}  // namespace wb::modpublic
