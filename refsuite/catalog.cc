#include "refsuite/catalog.h"

#include "core/text.h"
#include "refsuite/host_io.h"
#include "refsuite/instance.h"
#include "refsuite/suite.h"
#include "refsuite/thread_language.h"
#include "refsuite/values.h"

namespace refsuite {

namespace {

const wb::Variant& ArgAt(const wb::Args& args, size_t index) {
  static const wb::Variant empty;
  return index < args.size() ? args[index].value() : empty;
}

wb::Variant Nothing(const Instance&, const Scenario&, const wb::Args&) {
  return {};
}

wb::Variant True(const Instance&, const Scenario&, const wb::Args&) {
  return wb::Variant::Bool(true);
}

// CurrentLanguage: the calling thread's own language if it assigned one.
wb::Variant CurrentLanguage(const Instance&, const Scenario& scenario, const wb::Args&) {
  return wb::Variant::Str(ThreadLanguage().value_or(scenario.language));
}

// LoadString(key): the text stored for the key in the catalog's LanguageID.
wb::Variant LoadString(const Instance& self, const Scenario& scenario, const wb::Args& args) {
  const wb::String language = wb::AsciiUpper(TextOf(self.Property(u"LanguageID")));
  if (auto table = scenario.phrases.find(language); table != scenario.phrases.end()) {
    if (auto it = table->second.find(TextOf(ArgAt(args, 0))); it != table->second.end()) {
      return wb::Variant::Str(it->second);
    }
  }
  return wb::Variant::Str(u"");
}

// GetProperty(processId, name): the session of this process only.
wb::Variant GetProperty(const Instance&, const Scenario& scenario, const wb::Args& args) {
  const wb::Variant& pid = ArgAt(args, 0);
  if (!pid.IsNumeric() || NumberOf(pid) != static_cast<double>(CurrentProcessId()))
    return {};
  auto it = scenario.session.find(TextOf(ArgAt(args, 1)));
  return it == scenario.session.end() ? wb::Variant() : Suite::Get().Materialize(it->second);
}

// AccessCheck(props, FuncID, CheckType, CheckFlag).
wb::Variant AccessCheck(const Instance&, const Scenario& scenario, const wb::Args& args) {
  const wb::Variant& func = ArgAt(args, 1);
  if (func.IsNumeric()) {
    const auto it = scenario.rights.find(static_cast<int32_t>(NumberOf(func)));
    if (it != scenario.rights.end())
      return wb::Variant::Bool(it->second);
  }
  return wb::Variant::Bool(scenario.other_rights);
}

// Result("OK") is True; Result("Error") is the empty text.
wb::Variant Result(const Instance&, const Scenario&, const wb::Args& args) {
  const wb::String what = TextOf(ArgAt(args, 0));
  if (what == u"OK")
    return wb::Variant::Bool(true);
  if (what == u"Error")
    return wb::Variant::Str(u"");
  return {};
}

MemberDef Stored(const char16_t* name, const char16_t* initial = nullptr) {
  return MemberDef{name, nullptr, initial, nullptr};
}
MemberDef Method(const char16_t* name, Behaviour behaviour = &Nothing) {
  return MemberDef{name, behaviour, nullptr, nullptr};
}
// A computed property that can also be assigned.
MemberDef Settable(const char16_t* name, Behaviour behaviour, Assigner assign) {
  return MemberDef{name, behaviour, nullptr, assign};
}

}  // namespace

const std::vector<Component>& Catalog() {
  static const auto* catalog = new std::vector<Component>{
      {"Polyglot.LocaleState",
       {Settable(u"CurrentLanguage", &CurrentLanguage, &AssignThreadLanguage)}},
      {"Phrasebook.Catalog",
       {Stored(u"ResFileBaseName", u""), Stored(u"LanguageID", u""),
        Method(u"LoadString", &LoadString)}},
      {"CtxStore.SessionBag", {Method(u"GetProperty", &GetProperty)}},
      {"Gatekeeper.RightsDesk", {Method(u"AccessCheck", &AccessCheck)}},
      {"TillGuide.CKeyMap", {Method(u"ShowHELP")}},
      {"ReceiptRoll.CReceiptRoll", {Method(u"Showform")}},
      {"Loyalty.CPlan", {Method(u"Show")}},
      {"Finder.OneRecordPick",
       {Stored(u"ClassTypeID"), Stored(u"classTypeFilter"), Stored(u"ShowType"), Method(u"Show")}},
      {"BranchLink.ClsLink", {Stored(u"DataBaseType"), Method(u"InitSetting")}},
      {"Loyalty.CPoints", {Stored(u"VIPNumber"), Method(u"ViewVIPScore")}},
      {"DayClose.CDayCloseRun",
       {Stored(u"checktype"), Stored(u"User"), Method(u"ShowReckoning", &True)}},
      {"Tabulate.ClsTable",
       {Stored(u"RptID"), Stored(u"ReportName"), Stored(u"RptProperty"), Method(u"ShowFilter"),
        Method(u"GetReportdata"), Method(u"Result", &Result)}},
      {"SheetShow.CPresenter", {Method(u"ReportShow")}},
  };
  return *catalog;
}

const Component* FindComponent(wb::StringView prog_id) {
  for (const Component& component : Catalog()) {
    if (wb::EqualsIgnoreAsciiCase(wb::FromUtf8(component.prog_id), prog_id))
      return &component;
  }
  return nullptr;
}

const MemberDef* FindMember(const Component& component, wb::StringView name) {
  for (const MemberDef& member : component.members) {
    if (wb::EqualsIgnoreAsciiCase(member.name, name))
      return &member;
  }
  return nullptr;
}

}  // namespace refsuite
