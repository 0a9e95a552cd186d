// The report run: the report component gathers the data, the viewer shows it.
#include "bridge/bridge.h"
#include "bridge/convert.h"
#include "bridge/runtime_global.h"
#include "core/err.h"
#include "core/trap.h"
#include "launchers/modpublic.h"

namespace wb::modpublic {

namespace {

// The report's own failure.
constexpr int32_t kReportFailed = 5;
constexpr char16_t kReportSource[] = u"GetRptByID";

Variant Result(const ObjectRef& report, const char16_t* question) {
  return GetMember(report, u"Result", {Arg::Val(Variant::Str(question))});
}

void ResetMousePointer() {
  const Variant screen = GetMember(RuntimeGlobal(), u"Screen");
  LetMember(screen.object(), u"MousePointer", Variant::Integer(0));
}

}  // namespace

bool RunReport(String strRptID, String strReportName) {
  return TrapPassingThrough([&] {
    bool result = false;
    ObjectRef report = CreateObject(u"Tabulate.ClsTable");
    LetMember(report, u"RptID", Variant::Str(strRptID));
    LetMember(report, u"ReportName", Variant::Str(strReportName));
    LetMember(report, u"RptProperty", Variant::Integer(4));
    CallMember(report, u"ShowFilter");
    CallMember(report, u"GetReportdata");
    ResetMousePointer();

    if (PassesAnswerTest(Result(report, u"OK"))) {
      ObjectRef viewer = CreateObject(u"SheetShow.CPresenter");
      Variant report_arg = Variant::Object(report);
      CallMember(viewer, u"ReportShow", {Arg::Ref(report_arg)});
      viewer.Reset();
      report_arg = Variant();
      report.Reset();
      result = true;
    } else if (DiffersFromText(Result(report, u"Error"), u"")) {
      // Help file and context are left as the record holds them.
      Err::Raise(kReportFailed, String(kReportSource), ToString(Result(report, u"Error")));
    } else {
      report.Reset();
    }
    return result;
  });
}

}  // namespace wb::modpublic
