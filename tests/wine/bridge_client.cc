// The bridge driving the registered reference suite (RefSuite.dll) through
// COM, under tests/wine/bridge/scenario.json: errors of every style the suite
// raises arrive with all five fields, creation and member failures raise,
// by-reference arguments are written back, properties are assigned, and every
// instance is released (read from the suite's journal).
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <string>

#include "bridge/bridge.h"
#include "bridge/com_backend.h"
#include "core/err.h"
#include "core/trap.h"
#include "tests/wine/lib/checks.h"

namespace {

using wb::Arg;
using wb::ErrRecord;
using wb::Variant;

wbtest::Checks checks;

ErrRecord Record(int32_t number,
                 wb::String source,
                 wb::String description,
                 wb::String help_file = {},
                 int32_t help_context = 0) {
  return ErrRecord{number, std::move(source), std::move(description), std::move(help_file),
                   help_context};
}

void ExpectErr(const ErrRecord& actual, const ErrRecord& expected, const std::string& name) {
  checks.Expect(actual == expected, name,
                "got " + std::to_string(actual.number) + " (" + wb::ToUtf8(actual.source) +
                    "): " + wb::ToUtf8(actual.description) + " [" + wb::ToUtf8(actual.help_file) +
                    " #" + std::to_string(actual.help_context) + "]");
}

void RaisedErrors() {
  wb::ObjectRef plan = wb::CreateObject(u"Loyalty.CPlan");
  auto call = [&plan](const char16_t* member) {
    return wb::CaptureError([&] { wb::CallMember(plan, member); });
  };
  ExpectErr(call(u"RaiseExcepInfo"),
            Record(1001, u"Loyalty.CPlan", u"积分方案不可用", u"C:\\help\\loyalty.chm", 4711),
            "style excepinfo: all five fields arrive");
  ExpectErr(call(u"RaiseDeferred"),
            Record(1002, u"Loyalty.Deferred", u"deferred text", u"deferred.chm", 12),
            "style deferred: the fill-in's five fields arrive");
  ExpectErr(call(u"RaiseErrorInfo"),
            Record(1003, u"Loyalty.ErrorInfo", u"error info text", u"errorinfo.chm", 13),
            "style errorinfo: the IErrorInfo's fields arrive");
  ExpectErr(call(u"RaiseHresult"),
            Record(1004, u"Workbench", u"Application-defined or object-defined error"),
            "style hresult: the number arrives with the runtime's texts");
  const ErrRecord foreign = call(u"RaiseForeignHresult");
  checks.Expect(foreign.number == static_cast<int32_t>(0x80004005) && !foreign.description.empty(),
                "a foreign HRESULT arrives as a negative number with a text",
                std::to_string(foreign.number));
  ExpectErr(call(u"RaiseEmptyDescription"), Record(1005, u"Loyalty.CPlan", u""),
            "an empty Description with a Source stays empty");
  const ErrRecord after = wb::CaptureError([&] { wb::GetMember(plan, u"Show"); });
  checks.ExpectEq(after.number, 0, "the next call on the instance succeeds");
}

void CreationAndMembers() {
  ErrRecord e = wb::CaptureError([] { wb::CreateObject(u"No.Such.ProgID"); });
  ExpectErr(e, Record(429, u"Workbench", u"ActiveX component can't create object"),
            "an unregistered ProgID raises 429");
  e = wb::CaptureError([] { wb::CreateObject(u"TillGuide.CKeyMap"); });
  checks.Expect(e.number == 429 && !e.source.empty() && !e.description.empty(),
                "a component whose creation fails raises 429", std::to_string(e.number));
  e = wb::CaptureError([] { wb::CreateObject(u"ReceiptRoll.CReceiptRoll"); });
  checks.Expect(e.number == 7, "a creation that ran out of memory raises 7, not 429",
                std::to_string(e.number));

  e = wb::CaptureError([] {
    wb::ObjectRef plan = wb::CreateObject(u"loyalty.cplan");
    wb::GetMember(plan, u"NoSuchMember");
  });
  ExpectErr(e, Record(438, u"Workbench", u"Object doesn't support this property or method"),
            "an unknown member raises 438 (ProgID in any case)");
  e = wb::CaptureError([] {
    wb::ObjectRef branch = wb::CreateObject(u"BranchLink.ClsLink");
    wb::CallMember(branch, u"InitSetting");
  });
  checks.ExpectEq(e.number, 438, "a member that the component lacks raises 438");
}

void ByReference() {
  Variant number = Variant::Long(1);
  Variant text = Variant::Str(u"before");
  Variant flag = Variant::Bool(true);
  Variant any;  // Empty: travels as a reference to a VARIANT
  const ErrRecord e = wb::CaptureError([&] {
    wb::ObjectRef plan = wb::CreateObject(u"Loyalty.CPlan");
    const Variant result = wb::GetMember(
        plan, u"Swap", {Arg::Ref(number), Arg::Ref(text), Arg::Ref(flag), Arg::Ref(any)});
    checks.Expect(result == Variant::Str(u"swapped"), "a call with by-reference arguments answers");
  });
  checks.ExpectEq(e.number, 0, "the by-reference call raises nothing");
  checks.Expect(number == Variant::Long(42), "a Long variable is written back");
  checks.Expect(text == Variant::Str(u"写回"), "a String variable is written back");
  checks.Expect(flag == Variant::Bool(false), "a Boolean variable is written back");
  checks.Expect(any == Variant::Str(u"now a text"),
                "a Variant variable takes the new kind and value");

  Variant before_raise = Variant::Long(0);
  const ErrRecord raised = wb::CaptureError([&] {
    wb::ObjectRef plan = wb::CreateObject(u"Loyalty.CPlan");
    wb::CallMember(plan, u"SwapThenRaise", {Arg::Ref(before_raise)});
  });
  checks.Expect(raised.number == 1006 && before_raise == Variant::Long(7),
                "a value written before a raise reaches the variable, and the error arrives",
                std::to_string(raised.number));
}

void ArgumentsAndProperties() {
  const ErrRecord e = wb::CaptureError([] {
    wb::ObjectRef plan = wb::CreateObject(u"Loyalty.CPlan");
    const Variant picked = wb::GetMember(
        plan, u"Pick",
        {Arg::Val(Variant::Long(5)), Arg::Val(Variant::Str(u"x")), Arg::Val(Variant::Bool(true))});
    checks.Expect(picked == Variant::Str(u"matched"), "arguments arrive in the member's order");

    const Variant child = wb::GetMember(plan, u"Child");
    checks.Expect(child.IsObject() && !child.object().IsNothing(), "an object answer is an object");
    if (child.IsObject()) {
      checks.Expect(
          wb::GetMember(child.object(), wb::kDefaultMember) == Variant::Str(u"inner value"),
          "an object's default member is read");
    }

    wb::ObjectRef branch = wb::CreateObject(u"BranchLink.ClsLink");
    wb::LetMember(branch, u"DataBaseType", Variant::Integer(1));
    checks.Expect(wb::GetMember(branch, u"databasetype") == Variant::Integer(1),
                  "a property put is read back");
    wb::LetMember(branch, u"DataBaseType", Variant::Object(plan));
    const Variant held = wb::GetMember(branch, u"DataBaseType");
    checks.Expect(held.IsObject() && wb::DispatchOf(held.object()) == wb::DispatchOf(plan),
                  "an object assigned to a property comes back as the same instance");
    wb::LetMember(branch, u"DataBaseType", Variant());
  });
  checks.ExpectEq(e.number, 0, "calls with arguments and properties raise nothing");
}

// Every instance the suite created has been released: per ProgID, creations
// and releases match and the last release left the live count at 0.
void LiveCountBackToZero() {
  const wchar_t* path = _wgetenv(L"WB_SUITE_JOURNAL");
  FILE* file = path ? _wfopen(path, L"rb") : nullptr;
  if (file == nullptr) {
    checks.Expect(false, "the journal can be read", "WB_SUITE_JOURNAL unset or unreadable");
    return;
  }
  std::string text;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    text.append(buffer, n);
  std::fclose(file);

  struct Count {
    int created = 0, released = 0, last_live = -1;
  };
  std::map<std::string, Count> counts;
  const std::regex event(R"re("event":"(create|release)".*"live":(-?\d+).*"progid":"([^"]*)")re");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    std::smatch m;
    if (!std::regex_search(line, m, event))
      continue;
    Count& c = counts[m[3]];
    if (m[1] == "create") {
      ++c.created;
    } else {
      ++c.released;
      c.last_live = std::stoi(m[2]);
    }
  }
  checks.Expect(counts.size() >= 3, "the journal records the creations",
                std::to_string(counts.size()) + " ProgIDs");
  std::string wrong;
  for (const auto& [prog_id, c] : counts) {
    if (c.created != c.released || c.last_live != 0) {
      wrong += prog_id + " (" + std::to_string(c.created) + " created, " +
               std::to_string(c.released) + " released, live " + std::to_string(c.last_live) + ") ";
    }
  }
  checks.Expect(wrong.empty(), "every instance is released, live count back to 0", wrong);
}

}  // namespace

int main() {
  checks.Plan(7 + 5 + 7 + 6 + 2);  // the checks of each part below, in order
  if (FAILED(CoInitialize(nullptr))) {
    checks.Expect(false, "CoInitialize");
    return 1;
  }
  RaisedErrors();
  CreationAndMembers();
  ByReference();
  ArgumentsAndProperties();
  LiveCountBackToZero();
  const int failed = checks.Finish();
  CoUninitialize();
  return failed;
}
