#include "refsuite/com_classes.h"

#include <objbase.h>

namespace refsuite::com {

namespace {

// One row a line: the build reads these rows to write RefSuite.manifest
// (cmake/WorkbenchManifest.cmake), so each CLSID is typed here alone.
struct ClassRow {
  const char* prog_id;
  const wchar_t* clsid;
};
constexpr ClassRow kClassRows[] = {
    {"Polyglot.LocaleState", L"{43C46677-D975-464B-B986-FA12D1C508F3}"},
    {"Phrasebook.Catalog", L"{01BC920E-8939-4D84-AEC2-112C2052D0CD}"},
    {"CtxStore.SessionBag", L"{2F8F844B-E6BE-42D2-8E5C-DB18D5AD58E6}"},
    {"Gatekeeper.RightsDesk", L"{80434359-FAEE-4F43-A338-FD4644EE2EAB}"},
    {"TillGuide.CKeyMap", L"{FDCAD983-556E-4215-8BDA-12345B7DCDAD}"},
    {"ReceiptRoll.CReceiptRoll", L"{82CEAB26-860E-4BE3-977B-0C4ADF15FCE2}"},
    {"Loyalty.CPlan", L"{12F5B106-5D2E-492D-9299-3CBE05E6D0D7}"},
    {"Finder.OneRecordPick", L"{369AB1AE-E0FA-44E5-841F-680490C112F9}"},
    {"BranchLink.ClsLink", L"{76E69069-4AF6-41AC-A087-D8C327340EAD}"},
    {"Loyalty.CPoints", L"{E133E66A-0A1A-4265-8C71-BD31998F29A6}"},
    {"DayClose.CDayCloseRun", L"{A8C73FBD-43F1-4B2F-A180-7ABE6DBBADB1}"},
    {"Tabulate.ClsTable", L"{44FF83AF-1907-4E85-AA9A-468A2C44763E}"},
    {"SheetShow.CPresenter", L"{C698F41D-9ED7-45FB-B2EA-9827F8337B67}"},
};

}  // namespace

const std::vector<ComClass>& Classes() {
  static const auto* classes = [] {
    auto* list = new std::vector<ComClass>;
    for (const ClassRow& row : kClassRows) {
      ComClass c{{}, row.prog_id, &CreateClassInstance};
      // The rows are well-formed; a row that did not parse would keep the
      // null GUID, which no creation asks for.
      IIDFromString(row.clsid, &c.clsid);
      list->push_back(c);
    }
    return list;
  }();
  return *classes;
}

}  // namespace refsuite::com
