// Hostile input at the COM boundary of Workbench.dll, beyond the argument
// shapes that tests/wine/entry/object_client.cc covers: every VARTYPE (and
// its reference) as DEVOVIZoruze's argument, malformed DISPPARAMS, flags and
// dispatch ids, null out-pointers in every combination; and hostile answers
// of the suite's components (arrays, Null, objects with and without a default
// value, a million characters, embedded NULs) through the real DLL. Nothing
// may crash; each case has one exact outcome; a refused argument reaches no
// component (the suite's journal stays empty for it).
//   hostile_client.exe input     (WB_SUITE_SCENARIO: scenarios/hostile_args.json,
//                                 WB_SUITE_JOURNAL: a fresh file)
//   hostile_client.exe answers   (runs one child per scenario)
//   hostile_client.exe child ID vtable|dispatch
//                                (one call of DEVOVIZoruze(ID); prints its outcome)
#include <windows.h>

#include <cguid.h>
#include <initguid.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cmath>
#include <cwchar>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/child_run.h"
#include "tests/wine/proof/host.h"
#include "tests/wine/proof/journal_reader.h"
#include "tests/wine/proof/value_object.h"
#include "win/scoped_bstr.h"
#include "win/scoped_excep_info.h"
#include "win/scoped_variant.h"

namespace {

using Microsoft::WRL::ComPtr;
using wb::win::ScopedBstr;
using wb::win::ScopedExcepInfo;
using wb::win::ScopedVariant;
using wbproof::HostError;
using wbtest::Checks;
using wbtest::Hex;
using wbtest::RefTo;

// ---- Arguments --------------------------------------------------------------

// The id that runs a store function that succeeds in hostile_args.json.
constexpr LONG kRuns = wbproof::kMemberLookup;
const char kRunsProgId[] = "Finder.OneRecordPick";
// The id as text, for names and BSTRs.
const std::string kRunsText = std::to_string(kRuns);
const std::u16string kRunsText16(kRunsText.begin(), kRunsText.end());

BSTR Bstr(std::u16string_view text) {
  return ScopedBstr(text).Release();
}

ScopedVariant Owned(VARTYPE type, const std::function<void(VARIANT&)>& fill) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = type;
  fill(v);
  ScopedVariant owned;
  owned.Reset(v);
  return owned;
}

// What an Invoke of DEVOVIZoruze gave, and which components the suite
// created meanwhile (blank-separated).
struct Outcome {
  HRESULT hr = E_FAIL;
  UINT arg_error = 99;
  VARTYPE result_type = VT_ILLEGAL;
  std::string created;
  size_t journal_lines = 0;
};

class Boundary {
 public:
  Boundary(Checks& t, IDispatch* dispatch) : t_(t), dispatch_(dispatch) {}

  Outcome Invoke(VARIANT* args, UINT count, WORD flags = DISPATCH_METHOD) {
    const std::wstring journal = wbproof::SuiteJournalPath();
    const size_t before = wbproof::ReadJournal(journal).size();
    DISPPARAMS params = {args, nullptr, count, 0};
    ScopedVariant result(0);  // a conforming callee overwrites it
    ScopedExcepInfo excep;
    Outcome out;
    out.hr = dispatch_->Invoke(wbproof::kDispidDEVOVIZoruze, IID_NULL, 0, flags, &params,
                               result.AsInput(), excep.Receive(), &out.arg_error);
    out.result_type = result.type();
    const std::vector<wbproof::Entry> entries = wbproof::ReadJournal(journal);
    out.journal_lines = entries.size() - before;
    for (size_t i = before; i < entries.size(); ++i) {
      if (wbproof::Text(entries[i], "event") != "create")
        continue;
      if (!out.created.empty())
        out.created += ' ';
      out.created += wbproof::Text(entries[i], "progid");
    }
    return out;
  }

  // Accepted: S_OK, an empty result, and the suite saw `created`.
  void Accepted(const std::string& name, VARIANT arg, const std::string& created) {
    const Outcome r = Invoke(&arg, 1);
    t_.Expect(r.hr == S_OK && r.result_type == VT_EMPTY && r.created == created,
              "accepted: " + name,
              "got " + Hex(r.hr) + ", result type " + std::to_string(r.result_type) +
                  ", suite created \"" + r.created + "\", want \"" + created + "\"");
  }

  // Refused: the HRESULT, argument 0 named, and nothing reached the suite.
  void Refused(const std::string& name, VARIANT arg, HRESULT expected) {
    const Outcome r = Invoke(&arg, 1);
    t_.Expect(r.hr == expected && r.arg_error == 0 && r.journal_lines == 0, "refused: " + name,
              "got " + Hex(r.hr) + " arg " + std::to_string(r.arg_error) + ", " +
                  std::to_string(r.journal_lines) + " journal lines; want " + Hex(expected) +
                  " arg 0, none");
  }

 private:
  Checks& t_;
  IDispatch* dispatch_;
};

void CheckByValue(Checks& t, Boundary& b) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  b.Accepted("VT_EMPTY is id 0: nothing runs", Owned(VT_EMPTY, [](VARIANT&) {}).Get(), "");
  b.Accepted("VT_BOOL True is id -1: nothing runs",
             Owned(VT_BOOL, [](VARIANT& v) { V_BOOL(&v) = VARIANT_TRUE; }).Get(), "");
  b.Accepted("VT_BSTR with blanks around the number",
             Owned(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = Bstr(u" " + kRunsText16 + u" "); }).Get(),
             kRunsProgId);
  b.Refused("VT_BSTR empty", Owned(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = Bstr(u""); }).Get(),
            DISP_E_TYPEMISMATCH);
  b.Refused("VT_BSTR null pointer", Owned(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = nullptr; }).Get(),
            DISP_E_TYPEMISMATCH);
  b.Refused("VT_BSTR of a number beyond a Long",
            Owned(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = Bstr(u"99999999999"); }).Get(),
            DISP_E_OVERFLOW);
  // The platform's conversion reads a text up to its first NUL, on Windows
  // as under Wine.
  b.Accepted(
      "VT_BSTR with an embedded NUL: the id is the text before it",
      Owned(VT_BSTR, [](VARIANT& v) { V_BSTR(&v) = Bstr(kRunsText16 + std::u16string(u"\0x", 2)); })
          .Get(),
      kRunsProgId);
  b.Accepted("VT_R8 " + kRunsText + ".4 rounds to " + kRunsText,
             Owned(VT_R8, [](VARIANT& v) { V_R8(&v) = kRuns + 0.4; }).Get(), kRunsProgId);
  b.Refused("VT_R8 2^31", Owned(VT_R8, [](VARIANT& v) { V_R8(&v) = 2147483648.0; }).Get(),
            DISP_E_OVERFLOW);
  b.Refused("VT_R8 -2^31-1", Owned(VT_R8, [](VARIANT& v) { V_R8(&v) = -2147483649.0; }).Get(),
            DISP_E_OVERFLOW);
  b.Refused("VT_R8 NaN", Owned(VT_R8, [nan](VARIANT& v) { V_R8(&v) = nan; }).Get(),
            DISP_E_OVERFLOW);
  b.Refused("VT_R8 infinity", Owned(VT_R8, [inf](VARIANT& v) { V_R8(&v) = inf; }).Get(),
            DISP_E_OVERFLOW);
  b.Accepted("VT_I8 " + kRunsText, Owned(VT_I8, [](VARIANT& v) { V_I8(&v) = kRuns; }).Get(),
             kRunsProgId);
  b.Refused("VT_I8 2^40", Owned(VT_I8, [](VARIANT& v) { V_I8(&v) = 1LL << 40; }).Get(),
            DISP_E_OVERFLOW);
  b.Refused("VT_ERROR other than the missing marker",
            Owned(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = E_FAIL; }).Get(), DISP_E_TYPEMISMATCH);
  b.Refused("an undefined VARTYPE (0x7f)",
            Owned(VT_EMPTY, [](VARIANT& v) { V_VT(&v) = 0x7f; }).Get(), DISP_E_TYPEMISMATCH);

  SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 1);
  LONG index = 0, element = kRuns;
  SafeArrayPutElement(array, &index, &element);
  ScopedVariant array_arg = Owned(VT_ARRAY | VT_I4, [array](VARIANT& v) { V_ARRAY(&v) = array; });
  b.Refused("VT_ARRAY|VT_I4 holding " + kRunsText, array_arg.Get(), DISP_E_TYPEMISMATCH);

  // Objects: the default value is read; no reference is kept.
  wbproof::ValueObject with_value(kRuns), without_value(std::nullopt);
  VARIANT object_arg;
  VariantInit(&object_arg);
  V_VT(&object_arg) = VT_DISPATCH;
  V_DISPATCH(&object_arg) = &with_value;
  b.Accepted("VT_DISPATCH whose default value is " + kRunsText, object_arg, kRunsProgId);
  t.Expect(with_value.default_reads() == 1 && with_value.extra_refs() == 0,
           "objects: the default value read once, no reference kept",
           std::to_string(with_value.default_reads()) + " reads, " +
               std::to_string(with_value.extra_refs()) + " references");
  V_DISPATCH(&object_arg) = &without_value;
  b.Refused("VT_DISPATCH without a default value", object_arg, DISP_E_TYPEMISMATCH);
  V_DISPATCH(&object_arg) = nullptr;
  b.Refused("VT_DISPATCH null (Nothing)", object_arg, DISP_E_TYPEMISMATCH);
  V_VT(&object_arg) = VT_UNKNOWN;
  V_UNKNOWN(&object_arg) = &with_value;
  b.Refused("VT_UNKNOWN", object_arg, DISP_E_TYPEMISMATCH);
  t.Expect(without_value.extra_refs() == 0 && with_value.extra_refs() == 0,
           "objects: refused objects are not kept either");
}

void CheckByReference(Checks& t, Boundary& b) {
  VARIANT ref;
  VariantInit(&ref);

  SHORT small = 5;
  V_VT(&ref) = VT_BYREF | VT_I2;
  V_I2REF(&ref) = &small;
  b.Accepted("VT_BYREF|VT_I2 5: nothing runs", ref, "");
  double real = std::numeric_limits<double>::quiet_NaN();
  V_VT(&ref) = VT_BYREF | VT_R8;
  V_R8REF(&ref) = &real;
  b.Refused("VT_BYREF|VT_R8 NaN", ref, DISP_E_OVERFLOW);

  ScopedBstr number(kRunsText16), word(u"abc");
  BSTR text = number.Get();
  V_VT(&ref) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&ref) = &text;
  b.Accepted("VT_BYREF|VT_BSTR \"" + kRunsText + "\"", ref, kRunsProgId);
  t.Expect(text == number.Get() && number.Text() == kRunsText16,
           "by reference: the caller's BSTR is neither replaced nor changed");
  text = word.Get();
  b.Refused("VT_BYREF|VT_BSTR \"abc\"", ref, DISP_E_TYPEMISMATCH);

  wbproof::ValueObject with_value(kRuns);
  IDispatch* object = &with_value;
  V_VT(&ref) = VT_BYREF | VT_DISPATCH;
  V_DISPATCHREF(&ref) = &object;
  b.Accepted("VT_BYREF|VT_DISPATCH with a default value", ref, kRunsProgId);
  t.Expect(object == &with_value && with_value.extra_refs() == 0,
           "by reference: the caller's object is neither replaced nor kept");

  // The array is the holder's: it is destroyed with it.
  ScopedVariant array_holder =
      Owned(VT_ARRAY | VT_I4, [](VARIANT& v) { V_ARRAY(&v) = SafeArrayCreateVector(VT_I4, 0, 1); });
  V_VT(&ref) = VT_BYREF | VT_ARRAY | VT_I4;
  V_ARRAYREF(&ref) = &V_ARRAY(array_holder.AsInput());
  b.Refused("VT_BYREF|VT_ARRAY|VT_I4", ref, DISP_E_TYPEMISMATCH);

  SCODE missing = DISP_E_PARAMNOTFOUND;
  V_VT(&ref) = VT_BYREF | VT_ERROR;
  V_ERRORREF(&ref) = &missing;
  b.Refused("VT_BYREF|VT_ERROR", ref, DISP_E_TYPEMISMATCH);

  V_VT(&ref) = VT_BYREF | VT_I4;
  V_I4REF(&ref) = nullptr;
  b.Refused("VT_BYREF|VT_I4 with a null pointer", ref, DISP_E_TYPEMISMATCH);
  V_VT(&ref) = VT_BYREF | VT_BSTR;
  V_BSTRREF(&ref) = nullptr;
  b.Refused("VT_BYREF|VT_BSTR with a null pointer", ref, DISP_E_TYPEMISMATCH);

  // A script's variable (VT_BYREF|VT_VARIANT) holding each hostile kind.
  ScopedVariant variable;
  ScopedVariant var_ref = RefTo(variable);
  b.Accepted("a variable holding Empty: nothing runs", var_ref.Get(), "");
  variable.Reset(Owned(VT_NULL, [](VARIANT&) {}).Release());
  b.Refused("a variable holding Null", var_ref.Get(), DISP_E_TYPEMISMATCH);
  variable.Reset(Owned(VT_ERROR, [](VARIANT& v) { V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }).Release());
  b.Refused("a variable holding the missing marker", var_ref.Get(), DISP_E_PARAMNOTOPTIONAL);
  variable.Reset(Owned(VT_ARRAY | VT_I4, [](VARIANT& v) {
                   V_ARRAY(&v) = SafeArrayCreateVector(VT_I4, 0, 1);
                 }).Release());
  b.Refused("a variable holding an array", var_ref.Get(), DISP_E_TYPEMISMATCH);
  variable = ScopedVariant(1e300);
  b.Refused("a variable holding 1e300", var_ref.Get(), DISP_E_OVERFLOW);
  // Nested references: a variable that refers to another Long.
  LONG inner = kRuns;
  variable = RefTo(inner);
  b.Accepted("a variable holding a reference to a Long", var_ref.Get(), kRunsProgId);
  (void)variable.Release();  // it referred to `inner`: nothing of its own to free
  V_VARIANTREF(var_ref.AsInput()) = nullptr;
  b.Refused("VT_BYREF|VT_VARIANT with a null pointer", var_ref.Get(), DISP_E_TYPEMISMATCH);
}

void CheckShapes(Checks& t, Boundary& b, IDispatch* dispatch) {
  LONG id = kRuns;
  ScopedVariant arg = RefTo(id);
  const auto invoke = [dispatch](DISPID dispid, WORD flags, DISPPARAMS* params) {
    ScopedVariant result;
    ScopedExcepInfo excep;
    UINT arg_error = 0;
    return dispatch->Invoke(dispid, IID_NULL, 0, flags, params, result.Receive(), excep.Receive(),
                            &arg_error);
  };
  const auto expect = [&t](HRESULT got, HRESULT want, const std::string& name) {
    wbtest::ExpectHr(t, got, want, "shape: " + name);
  };

  DISPPARAMS no_array = {nullptr, nullptr, 1, 0};
  expect(invoke(wbproof::kDispidDEVOVIZoruze, DISPATCH_METHOD, &no_array), E_INVALIDARG,
         "one argument announced, no argument array");
  DISPPARAMS huge = {arg.AsInput(), nullptr, 0x7fffffff, 0};
  expect(invoke(wbproof::kDispidDEVOVIZoruze, DISPATCH_METHOD, &huge), DISP_E_BADPARAMCOUNT,
         "2^31-1 arguments announced");
  DISPPARAMS named_null = {arg.AsInput(), nullptr, 1, 1};
  expect(invoke(wbproof::kDispidDEVOVIZoruze, DISPATCH_METHOD, &named_null), E_INVALIDARG,
         "a named argument announced, no name array");
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS as_put = {arg.AsInput(), &put, 1, 1};
  expect(invoke(wbproof::kDispidDEVOVIZoruze, DISPATCH_PROPERTYPUT, &as_put), DISP_E_MEMBERNOTFOUND,
         "assigned with DISPID_PROPERTYPUT");
  DISPPARAMS one = {arg.AsInput(), nullptr, 1, 0};
  expect(invoke(wbproof::kDispidDEVOVIZoruze, DISPATCH_PROPERTYPUTREF, &one), DISP_E_MEMBERNOTFOUND,
         "DISPATCH_PROPERTYPUTREF");
  expect(invoke(wbproof::kDispidDEVOVIZoruze, 0, &one), DISP_E_MEMBERNOTFOUND, "no flags at all");
  expect(invoke(DISPID_UNKNOWN, DISPATCH_METHOD, &one), DISP_E_MEMBERNOTFOUND, "DISPID_UNKNOWN");
  expect(invoke(DISPID_NEWENUM, DISPATCH_METHOD, &one), DISP_E_MEMBERNOTFOUND, "DISPID_NEWENUM");
  expect(invoke(DISPID_SHOWWORKBENCHFORM - 1, DISPATCH_METHOD, &one), DISP_E_MEMBERNOTFOUND,
         "the dispatch id before the first method");
  DISPID named_id = 0;
  DISPPARAMS show_named = {nullptr, &named_id, 0, 1};
  expect(invoke(DISPID_SHOWWORKBENCHFORM, DISPATCH_METHOD, &show_named), E_INVALIDARG,
         "ShowWorkbenchForm with more named arguments than arguments (the console does not open)");
  t.ExpectEq(id, kRuns, "shape: the referenced id is never written");
  (void)b;
}

// Every combination of null result, EXCEPINFO and argument-error pointers, for
// a success, a refused argument and a component's error.
void CheckNullPointers(Checks& t, IDispatch* dispatch) {
  struct Kind {
    const char* name;
    LONG id;
    bool refused;
    HRESULT with_excep, without_excep;
  } const kinds[] = {
      {"success", wbproof::kNoFunction, false, S_OK, S_OK},
      {"refused argument", 0, true, DISP_E_TYPEMISMATCH, DISP_E_TYPEMISMATCH},
      {"component error", wbproof::kLoyaltyPlan, false, DISP_E_EXCEPTION,
       static_cast<HRESULT>(0x800A04D2)},
  };
  for (const Kind& kind : kinds) {
    std::string failures;
    for (int mask = 0; mask < 8; ++mask) {
      ScopedVariant arg = kind.refused ? ScopedVariant(u"x") : ScopedVariant(kind.id);
      DISPPARAMS params = {arg.AsInput(), nullptr, 1, 0};
      ScopedVariant result;
      ScopedExcepInfo excep;
      UINT arg_error = 99;
      const bool with_result = mask & 1, with_excep = mask & 2, with_arg_error = mask & 4;
      const HRESULT hr = dispatch->Invoke(
          wbproof::kDispidDEVOVIZoruze, IID_NULL, 0, DISPATCH_METHOD, &params,
          with_result ? result.Receive() : nullptr, with_excep ? excep.Receive() : nullptr,
          with_arg_error ? &arg_error : nullptr);
      const HRESULT want = with_excep ? kind.with_excep : kind.without_excep;
      bool ok = hr == want;
      if (with_excep && want == DISP_E_EXCEPTION)
        ok = ok && excep.Get().scode == static_cast<HRESULT>(0x800A04D2) &&
             ScopedBstr::TextOf(excep.Get().bstrSource) == u"Loyalty";
      if (with_arg_error && kind.refused)
        ok = ok && arg_error == 0;
      if (with_result)
        ok = ok && result.type() == VT_EMPTY;
      if (!ok)
        failures += " mask " + std::to_string(mask) + ": " + Hex(hr);
    }
    t.Expect(failures.empty(), std::string("null pointers: all 8 combinations, ") + kind.name,
             failures);
  }
}

// Null out-pointers outside Invoke that object_client does not try.
void CheckOutPointers(Checks& t, _CWorkbench* workbench, IDispatch* dispatch) {
  LPOLESTR name = const_cast<LPOLESTR>(L"DEVOVIZoruze");
  const auto expect = [&t](HRESULT got, HRESULT want, const std::string& what) {
    wbtest::ExpectHr(t, got, want, "out-pointers: " + what);
  };
  expect(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, nullptr), E_INVALIDARG,
         "GetIDsOfNames with a null id array");
  DISPID id = 7;
  expect(dispatch->GetIDsOfNames(IID_NULL, &name, 0, 0, &id), E_INVALIDARG,
         "GetIDsOfNames for no names");
  LPOLESTR null_name = nullptr;
  expect(dispatch->GetIDsOfNames(IID_NULL, &null_name, 1, 0, &id), DISP_E_UNKNOWNNAME,
         "GetIDsOfNames with a null name");
  t.ExpectEq(id, DISPID_UNKNOWN, "out-pointers: a null name gets DISPID_UNKNOWN");
  ComPtr<ISupportErrorInfo> error_info;
  workbench->QueryInterface(IID_PPV_ARGS(&error_info));
  if (error_info)
    expect(error_info->QueryInterface(IID_IUnknown, nullptr), E_POINTER,
           "QueryInterface through ISupportErrorInfo, null out-pointer");
  ComPtr<IClassFactory> factory;
  CoGetClassObject(CLSID_CWorkbench, CLSCTX_INPROC_SERVER, nullptr, IID_PPV_ARGS(&factory));
  t.Expect(static_cast<bool>(factory), "out-pointers: class factory obtained");
  if (factory) {
    expect(factory->CreateInstance(nullptr, IID__CWorkbench, nullptr), E_POINTER,
           "CreateInstance with a null out-pointer");
    expect(factory->QueryInterface(IID_IClassFactory, nullptr), E_POINTER,
           "the factory's QueryInterface, null out-pointer");
  }
}

void RunInput(Checks& t) {
  t.Expect(!wbproof::SuiteJournalPath().empty(), "WB_SUITE_JOURNAL is set");
  CoInitialize(nullptr);
  {
    ComPtr<_CWorkbench> workbench = wbproof::NewWorkbench();
    ComPtr<IDispatch> dispatch;
    if (workbench)
      workbench.As(&dispatch);
    t.Expect(static_cast<bool>(dispatch), "CWorkbench created, IDispatch");
    if (dispatch) {
      Boundary b(t, dispatch.Get());
      CheckByValue(t, b);
      CheckByReference(t, b);
      CheckShapes(t, b, dispatch.Get());
      CheckNullPointers(t, dispatch.Get());
      CheckOutPointers(t, workbench.Get(), dispatch.Get());
    }
  }
  const wbproof::Lives lives = wbproof::LivesIn(wbproof::ReadJournal(wbproof::SuiteJournalPath()));
  t.Expect(!lives.created.empty() && wbproof::Leftovers(lives).empty(),
           "every instance the suite made was released",
           lives.created.empty() ? "the journal shows no instance" : wbproof::Leftovers(lives));
  CoUninitialize();
}

// ---- Answers ------------------------------------------------------------------

// One hostile answer: a scenario, the id called, what the host must get, and
// a member that must (or must not) have been called.
struct Answer {
  std::string name;
  std::string scenario;
  LONG id;
  HostError expected;
  std::string called;      // "ProgID.Member" that must appear, or ""
  std::string not_called;  // "ProgID.Member" that must not appear, or ""
  // How the child calls: through the table of methods (fields from
  // IErrorInfo) or through IDispatch (fields from EXCEPINFO).
  const wchar_t* path = L"vtable";
};

const wb::String kPrefix = u"调用门店函数出错。原因：";

// The prefix and then `text` (appended: GCC 12 misreads operator+ here).
wb::String Prefixed(wb::StringView text) {
  wb::String out = kPrefix;
  out.append(text);
  return out;
}

const HostError kPlan = {static_cast<HRESULT>(0x800A04D2), u"Loyalty", Prefixed(u"积分方案不可用"),
                         u"loyalty.chm", 42};

// ENG, the plan failing, and the loader answering `answer` for every key.
std::string LoaderAnswers(const std::string& answer) {
  return R"({"language": "ENG", "components": {
    "Loyalty.CPlan": {"Show": {"raise": {"number": 1234, "source": "Loyalty",
        "description": "积分方案不可用", "helpfile": "loyalty.chm", "helpcontext": 42}}},
    "Phrasebook.Catalog": {"LoadString": {"value": )" +
         answer + "}}}}";
}

std::string RightsAnswer(const std::string& answer) {
  return R"({"components": {"Gatekeeper.RightsDesk": {"AccessCheck": {"value": )" + answer + "}}}}";
}

std::string ReportAnswers(const std::string& ok, const std::string& error) {
  return R"({"components": {"Tabulate.ClsTable": {"Result": {"when": [
    {"args": ["OK"], "value": )" +
         ok + R"(}, {"args": ["Error"], "value": )" + error + "}]}}}}";
}

HostError RuntimeError(int number, const wb::String& source, wb::StringView text) {
  return {static_cast<HRESULT>(0x800A0000 | number), source, Prefixed(text), u"", 0};
}

std::vector<Answer> Answers() {
  const std::string million_x = R"({"type": "String", "repeat": "x", "count": 1000000})";
  const std::string no_default = R"({"type": "Object"})";
  HostError doubled_x = kPlan;
  doubled_x.description.assign(2000000, u'x');
  HostError nul = kPlan;
  nul.description.assign(u"A\0BA\0B", 6);
  // IErrorInfo takes its texts as C strings: they end at the first NUL.
  HostError nul_cut = kPlan;
  nul_cut.description = u"A";
  HostError defaults = kPlan;
  defaults.description = u"PlanPlan";
  const wb::String million_y(1000000, u'y');
  HostError report_text = RuntimeError(5, u"GetRptByID", million_y);
  HostError report_nul = RuntimeError(5, u"GetRptByID", wb::StringView(u"a\0b", 3));
  const wb::String mismatch = u"Type mismatch";
  return {
      {"LoadString answers an array: texts stay untranslated",
       LoaderAnswers(R"({"type": "Array"})"), wbproof::kLoyaltyPlan, kPlan, "", ""},
      {"LoadString answers Null: texts stay untranslated", LoaderAnswers("null"),
       wbproof::kLoyaltyPlan, kPlan, "", ""},
      {"LoadString answers an object without a default value: texts stay untranslated",
       LoaderAnswers(no_default), wbproof::kLoyaltyPlan, kPlan, "", ""},
      {"LoadString answers an object whose default value is text: that text",
       LoaderAnswers(R"({"type": "Object", "default": "Plan"})"), wbproof::kLoyaltyPlan, defaults,
       "", ""},
      {"LoadString answers a million characters: both texts become them", LoaderAnswers(million_x),
       wbproof::kLoyaltyPlan, doubled_x, "", ""},
      {"LoadString answers text with an embedded NUL: whole in EXCEPINFO",
       LoaderAnswers(R"("A\u0000B")"), wbproof::kLoyaltyPlan, nul, "", "", L"dispatch"},
      {"LoadString answers text with an embedded NUL: IErrorInfo ends at the NUL",
       LoaderAnswers(R"("A\u0000B")"), wbproof::kLoyaltyPlan, nul_cut, "", ""},
      {"AccessCheck answers an array: error 13 from the right check",
       RightsAnswer(R"({"type": "Array"})"), wbproof::kBranchSetup,
       RuntimeError(13, u"Err_CheckAccessRight", mismatch), "", "BranchLink.ClsLink.InitSetting"},
      {"AccessCheck answers Null: error 94 from the right check", RightsAnswer("null"),
       wbproof::kBranchSetup, RuntimeError(94, u"Err_CheckAccessRight", u"Invalid use of Null"), "",
       "BranchLink.ClsLink.InitSetting"},
      {"AccessCheck answers an object without a default value: error 438 from the right check",
       RightsAnswer(no_default), wbproof::kBranchSetup,
       RuntimeError(438, u"Err_CheckAccessRight",
                    u"Object doesn't support this property or method"),
       "", "BranchLink.ClsLink.InitSetting"},
      {"AccessCheck answers a million characters: error 13 from the right check",
       RightsAnswer(million_x), wbproof::kBranchSetup,
       RuntimeError(13, u"Err_CheckAccessRight", mismatch), "", "BranchLink.ClsLink.InitSetting"},
      {"AccessCheck answers the text \"True\": granted", RightsAnswer(R"("True")"),
       wbproof::kBranchSetup, HostError{}, "BranchLink.ClsLink.InitSetting", ""},
      {"Result(\"OK\") answers Null: the viewer runs", ReportAnswers("null", R"("")"),
       wbproof::kReport, HostError{}, "SheetShow.CPresenter.ReportShow", ""},
      {"Result(\"OK\") answers an array: error 13", ReportAnswers(R"({"type": "Array"})", R"("")"),
       wbproof::kReport, RuntimeError(13, u"Workbench", mismatch), "",
       "SheetShow.CPresenter.ReportShow"},
      {"Result(\"Error\") answers Null: no result, no error", ReportAnswers("false", "null"),
       wbproof::kReport, HostError{}, "", "SheetShow.CPresenter.ReportShow"},
      {"Result(\"Error\") answers an array: error 13",
       ReportAnswers("false", R"({"type": "Array"})"), wbproof::kReport,
       RuntimeError(13, u"Workbench", mismatch), "", "SheetShow.CPresenter.ReportShow"},
      {"Result(\"Error\") answers a million characters: the report's error carries them",
       ReportAnswers("false", R"({"type": "String", "repeat": "y", "count": 1000000})"),
       wbproof::kReport, report_text, "", "SheetShow.CPresenter.ReportShow"},
      {"Result(\"Error\") answers text with an embedded NUL: whole in EXCEPINFO",
       ReportAnswers("false", R"("a\u0000b")"), wbproof::kReport, report_nul, "", "", L"dispatch"},
  };
}

bool Called(const std::vector<wbproof::Entry>& journal, const std::string& what) {
  for (const wbproof::Entry& e : journal) {
    const std::string event = wbproof::Text(e, "event");
    if ((event == "call" || event == "get") &&
        wbproof::Text(e, "progid") + "." + wbproof::Text(e, "member") == what)
      return true;
  }
  return false;
}

void RunAnswers(Checks& t) {
  for (const Answer& a : Answers()) {
    const wbproof::ChildRun run =
        wbproof::RunChild(L"child " + std::to_wstring(a.id) + L" " + a.path, a.scenario, 60000);
    if (!run.started || run.timed_out || run.exit_code != 0 || !run.outcome) {
      t.Expect(false, "answer: " + a.name,
               "child " + std::string(run.started ? "" : "not started ") +
                   (run.timed_out ? "timed out " : "") + "exit " + std::to_string(run.exit_code) +
                   ": " + run.output.substr(0, 300));
      continue;
    }
    std::string problem;
    if (*run.outcome != a.expected)
      problem = "got " + wbproof::Show(*run.outcome) + "; want " + wbproof::Show(a.expected);
    if (!a.called.empty() && !Called(run.journal, a.called))
      problem += " " + a.called + " was not called;";
    if (!a.not_called.empty() && Called(run.journal, a.not_called))
      problem += " " + a.not_called + " was called;";
    const std::string left = wbproof::Leftovers(wbproof::LivesIn(run.journal));
    if (!left.empty())
      problem += " left alive: " + left;
    t.Expect(problem.empty(), "answer: " + a.name, problem);
  }
}

int RunChildCall(LONG id, bool dispatch) {
  CoInitialize(nullptr);
  HostError outcome;
  outcome.hr = E_UNEXPECTED;
  {
    ComPtr<_CWorkbench> workbench = wbproof::NewWorkbench();
    ComPtr<IDispatch> late;
    if (workbench)
      workbench.As(&late);
    if (workbench && late) {
      outcome = dispatch ? wbproof::CallDispatch(late.Get(), id)
                         : wbproof::CallVtable(workbench.Get(), id);
    }
  }
  CoUninitialize();
  wbproof::PrintOutcome(outcome);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"child") == 0)
    return RunChildCall(std::wcstol(argv[2], nullptr, 10), std::wcscmp(argv[3], L"dispatch") == 0);
  Checks t;
  if (argc == 2 && std::wcscmp(argv[1], L"input") == 0) {
    // The set-up, by value, by reference, shapes, null and out-pointers, lives.
    t.Plan(2 + 23 + 18 + 11 + 3 + 8 + 1);
    RunInput(t);
  } else if (argc == 2 && std::wcscmp(argv[1], L"answers") == 0) {
    t.Plan(static_cast<int>(Answers().size()));
    RunAnswers(t);
  } else {
    t.Expect(false, "arguments", "usage: hostile_client input | answers | child ID");
  }
  return t.Finish();
}
