// Checks of the COM backend's parts that need no registered component: value
// conversion, the error mapping both ways, the platform services, the owners
// of bridge/win; and the backend driving a component that Wine itself
// provides (Scripting.Dictionary).
#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <utility>

#include "bridge/bridge.h"
#include "bridge/com_backend.h"
#include "bridge/com_errors.h"
#include "bridge/com_variant.h"
#include "bridge/convert.h"
#include "bridge/runtime_global.h"
#include "core/platform.h"
#include "core/runtime_errors.h"
#include "core/trap.h"
#include "tests/wine/lib/checks.h"
#include "win/scoped_bstr.h"
#include "win/scoped_excep_info.h"
#include "win/scoped_generic.h"
#include "win/scoped_handle.h"
#include "win/scoped_variant.h"

// Every C++ allocation of this program comes here, so that a check can make
// the next ones fail on its own thread.
namespace {
thread_local bool t_fail_new = false;
}  // namespace

void* operator new(std::size_t size) {
  if (t_fail_new)
    throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1))
    return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using Microsoft::WRL::ComPtr;
using wb::Variant;
using wb::VarKind;
using wb::win::ScopedBstr;
using wb::win::ScopedExcepInfo;
using wb::win::ScopedVariant;

wbtest::Checks checks;

VARIANT Make(VARTYPE vt) {
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = vt;
  return v;
}

void FromComVariantChecks() {
  Variant r = wb::FromComVariant(ScopedVariant(int16_t{-7}).Get());
  checks.Expect(r == Variant::Integer(-7), "VT_I2 becomes Integer");

  r = wb::FromComVariant(ScopedVariant(true).Get());
  checks.Expect(r.kind() == VarKind::kBoolean && r.integral() == -1, "VT_BOOL True becomes -1");

  VARIANT v = Make(VT_CY);
  V_CY(&v).int64 = 123456;
  checks.Expect(wb::FromComVariant(v) == Variant::Currency(123456), "VT_CY keeps its scaled value");

  v = Make(VT_ERROR);
  V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
  checks.Expect(wb::FromComVariant(v).IsMissing(), "VT_ERROR PARAMNOTFOUND is the missing marker");

  const wb::String text(u"a\0b\u4E2D", 4);
  checks.Expect(wb::FromComVariant(ScopedVariant(text).Get()) == Variant::Str(text),
                "VT_BSTR keeps embedded NULs and CJK text");

  v = Make(VT_UI4);
  V_UI4(&v) = 3000000000u;
  r = wb::FromComVariant(v);
  checks.Expect(r.kind() == VarKind::kDouble && r.real() == 3e9,
                "VT_UI4 beyond Long range becomes Double");

  v = Make(VT_I8);
  V_I8(&v) = -42;
  checks.Expect(wb::FromComVariant(v) == Variant::Long(-42), "VT_I8 in range becomes Long");

  ScopedVariant d, one_and_half(1.5);
  VariantChangeType(d.Receive(), one_and_half.AsInput(), 0, VT_DECIMAL);
  r = wb::FromComVariant(d.Get());
  checks.Expect(r.kind() == VarKind::kDouble && r.real() == 1.5,
                "VT_DECIMAL with a fraction becomes Double");

  LONG target = 99;
  checks.Expect(wb::FromComVariant(wbtest::RefTo(target).Get()) == Variant::Long(99),
                "VT_BYREF|VT_I4 is read through");

  v = Make(VT_ARRAY | VT_VARIANT);
  V_ARRAY(&v) = nullptr;
  r = wb::FromComVariant(v);
  checks.Expect(
      r.kind() == VarKind::kUnsupported && r.unsupported_vartype() == (VT_ARRAY | VT_VARIANT),
      "an array is Unsupported with its vartype");

  r = wb::FromComVariant(ScopedVariant(static_cast<IDispatch*>(nullptr)).Get());
  checks.Expect(r.IsObject() && r.object().IsNothing(), "a null VT_DISPATCH is Nothing");
}

void RoundTrip(const Variant& value, VARTYPE vt, const char* name) {
  ScopedVariant com = wb::ToComVariant(value);
  checks.Expect(com.type() == vt && wb::FromComVariant(com.Get()) == value,
                std::string(name) + " travels as its own VARTYPE and back",
                "vt " + std::to_string(com.type()));
}

void ToComVariantChecks() {
  RoundTrip(Variant(), VT_EMPTY, "Empty");
  RoundTrip(Variant::Null(), VT_NULL, "Null");
  RoundTrip(Variant::Integer(-32768), VT_I2, "Integer");
  RoundTrip(Variant::Long(-2147483647 - 1), VT_I4, "Long");
  RoundTrip(Variant::Single(1.25f), VT_R4, "Single");
  RoundTrip(Variant::Double(-0.1), VT_R8, "Double");
  RoundTrip(Variant::Currency(-5), VT_CY, "Currency");
  RoundTrip(Variant::Date(45000.5), VT_DATE, "Date");
  RoundTrip(Variant::Str(wb::String(u"x\0y", 3)), VT_BSTR, "String");
  RoundTrip(Variant::Bool(false), VT_BOOL, "Boolean");
  RoundTrip(Variant::Byte(255), VT_UI1, "Byte");
  RoundTrip(Variant::Missing(), VT_ERROR, "Missing");
  RoundTrip(Variant::Object(wb::ObjectRef()), VT_DISPATCH, "Nothing");

  wb::ErrRecord e = wb::CaptureError([] { wb::ToComVariant(Variant::Unsupported(VT_RECORD)); });
  checks.ExpectEq(e.number, 458, "an Unsupported value cannot go to a component (458)");

  e = wb::CaptureError([] { wb::ToComVariant(Variant::Object(wb::RuntimeGlobal())); });
  checks.ExpectEq(e.number, 13, "an object of another backend cannot go to a component (13)");
}

void NumberMappingChecks() {
  struct Case {
    HRESULT hr;
    long long number;
  } cases[] = {
      {static_cast<HRESULT>(0x800A01C9), 457},
      {DISP_E_TYPEMISMATCH, 13},
      {DISP_E_BADPARAMCOUNT, 450},
      {DISP_E_PARAMNOTOPTIONAL, 449},
      {DISP_E_OVERFLOW, 6},
      {DISP_E_MEMBERNOTFOUND, 438},
      {DISP_E_UNKNOWNNAME, 438},
      {E_OUTOFMEMORY, 7},
      {DISP_E_BADVARTYPE, 458},
      {E_NOINTERFACE, 430},
      {E_FAIL, static_cast<int32_t>(E_FAIL)},
      {static_cast<HRESULT>(0x800A0000), static_cast<int32_t>(0x800A0000)},
  };
  int wrong = 0;
  std::string details;
  for (const Case& c : cases) {
    if (wb::ErrNumberFromHResult(c.hr) != c.number) {
      ++wrong;
      details += std::to_string(static_cast<unsigned long>(c.hr)) + " ";
    }
  }
  checks.Expect(wrong == 0, "HRESULTs map to the runtime's numbers", "wrong for " + details);

  wb::ErrRecord r;
  r.number = 1001;
  checks.ExpectEq(static_cast<uint32_t>(wb::HResultFromErr(r)), 0x800A03E9,
                  "number 1001 travels as 0x800A03E9");
  r.number = static_cast<int32_t>(E_NOINTERFACE);
  checks.ExpectEq(wb::HResultFromErr(r), E_NOINTERFACE, "a negative number travels as it is");
  r.number = 0;
  checks.Expect(FAILED(wb::HResultFromErr(r)), "number 0 still travels as a failure");
  r.number = 70000;
  checks.Expect(FAILED(wb::HResultFromErr(r)), "a number beyond 65535 still travels as a failure");
}

wb::ErrRecord SampleRecord() {
  wb::ErrRecord r;
  r.number = 1001;
  r.source = u"Loyalty.CPlan";
  r.description = u"积分方案不可用";
  r.help_file = u"C:\\help\\suite.chm";
  r.help_context = 77;
  return r;
}

void OutgoingChecks() {
  const wb::ErrRecord sample = SampleRecord();
  ScopedExcepInfo excep;
  const HRESULT hr = wb::ReportErrToHost(sample, IID_IDispatch, excep.Receive());
  checks.ExpectEq(hr, DISP_E_EXCEPTION, "an Invoke failure is reported as DISP_E_EXCEPTION");
  const EXCEPINFO& info = excep.Get();
  checks.Expect(info.wCode == 0 && static_cast<uint32_t>(info.scode) == 0x800A03E9 &&
                    ScopedBstr::TextOf(info.bstrSource) == sample.source &&
                    ScopedBstr::TextOf(info.bstrDescription) == sample.description &&
                    ScopedBstr::TextOf(info.bstrHelpFile) == sample.help_file &&
                    info.dwHelpContext == 77,
                "the EXCEPINFO carries all five fields");

  // The published IErrorInfo carries the same.
  ComPtr<IErrorInfo> published;
  GetErrorInfo(0, published.ReleaseAndGetAddressOf());
  bool same = false;
  if (published) {
    ScopedBstr source, description, help_file;
    DWORD context = 0;
    GUID guid{};
    published->GetSource(source.Receive());
    published->GetDescription(description.Receive());
    published->GetHelpFile(help_file.Receive());
    published->GetHelpContext(&context);
    published->GetGUID(&guid);
    same = source.Text() == sample.source && description.Text() == sample.description &&
           help_file.Text() == sample.help_file && context == 77 &&
           IsEqualGUID(guid, IID_IDispatch);
  }
  checks.Expect(same, "the published error info carries all five fields and the IID");

  checks.ExpectEq(static_cast<uint32_t>(wb::ReportErrToHost(sample, IID_IDispatch, nullptr)),
                  0x800A03E9, "a vtable failure returns the number's HRESULT");
  SetErrorInfo(0, nullptr);
}

// The EXCEPINFO of a failed Invoke, as a component would fill it.
void FillIncoming(EXCEPINFO* info,
                  WORD code,
                  SCODE scode,
                  const char16_t* source,
                  const char16_t* description) {
  info->wCode = code;
  info->scode = scode;
  if (source)
    info->bstrSource = ScopedBstr(source).Release();
  if (description)
    info->bstrDescription = ScopedBstr(description).Release();
}

HRESULT STDAPICALLTYPE DeferredFill(EXCEPINFO* info) {
  FillIncoming(info, 0, static_cast<SCODE>(0x800A0BB8), u"Deferred.Source", u"filled late");
  return S_OK;
}

void IncomingChecks() {
  wb::ErrRecord e = wb::CaptureError([] {
    ScopedExcepInfo excep;
    EXCEPINFO* info = excep.Receive();
    FillIncoming(info, 0, static_cast<SCODE>(0x800A03E9), u"Loyalty.CPlan", u"no plan");
    info->bstrHelpFile = ScopedBstr(u"suite.chm").Release();
    info->dwHelpContext = 5;
    wb::RaiseFromInvoke(DISP_E_EXCEPTION, excep);
  });
  checks.Expect(e.number == 1001 && e.source == u"Loyalty.CPlan" && e.description == u"no plan" &&
                    e.help_file == u"suite.chm" && e.help_context == 5,
                "DISP_E_EXCEPTION gives all five fields, number from scode", wbtest::ErrText());

  e = wb::CaptureError([] {
    ScopedExcepInfo excep;
    FillIncoming(excep.Receive(), 1234, 0, u"S", u"D");
    wb::RaiseFromInvoke(DISP_E_EXCEPTION, excep);
  });
  checks.ExpectEq(e.number, 1234, "a non-zero wCode is the number");

  e = wb::CaptureError([] {
    ScopedExcepInfo excep;
    FillIncoming(excep.Receive(), 0, static_cast<SCODE>(0x800A0009), u"Src", u"");
    wb::RaiseFromInvoke(DISP_E_EXCEPTION, excep);
  });
  checks.Expect(e.number == 9 && e.source == u"Src" && e.description.empty(),
                "an empty Description given with a Source stays empty", wbtest::ErrText());

  e = wb::CaptureError([] {
    ScopedExcepInfo excep;
    excep.Receive()->pfnDeferredFillIn = DeferredFill;
    wb::RaiseFromInvoke(DISP_E_EXCEPTION, excep);
  });
  checks.Expect(
      e.number == 3000 && e.source == u"Deferred.Source" && e.description == u"filled late",
      "a deferred fill-in is called", wbtest::ErrText());

  e = wb::CaptureError([] {
    ScopedExcepInfo excep;
    wb::RaiseFromInvoke(DISP_E_EXCEPTION, excep);
  });
  checks.Expect(e.number != 0 && !e.description.empty(), "an empty EXCEPINFO still raises an error",
                wbtest::ErrText());

  e = wb::CaptureError([] {
    wb::PublishErrorInfo(SampleRecord(), IID_IDispatch);
    ScopedExcepInfo excep;
    wb::RaiseFromInvoke(static_cast<HRESULT>(0x800A03E9), excep);
  });
  checks.Expect(e == SampleRecord(), "a failure HRESULT takes its texts from IErrorInfo",
                wbtest::ErrText());

  e = wb::CaptureError([] {
    SetErrorInfo(0, nullptr);
    ScopedExcepInfo excep;
    wb::RaiseFromInvoke(DISP_E_TYPEMISMATCH, excep);
  });
  checks.Expect(e.number == 13 && e.source == u"Workbench" && e.description == u"Type mismatch",
                "a bare HRESULT gives the runtime's number and text", wbtest::ErrText());

  e = wb::CaptureError([] { wb::RaiseFromHResult(E_FAIL); });
  checks.Expect(e.number == static_cast<int32_t>(E_FAIL) && !e.description.empty(),
                "an unknown HRESULT is a negative number with a text", wbtest::ErrText());
}

void PlatformChecks() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  const double now = wb::platform::Now();
  checks.Expect(std::fabs(now - std::floor(now) -
                          (st.wHour * 3600 + st.wMinute * 60 + st.wSecond) / 86400.0) < 5 / 86400.0,
                "Now is the local time of day");
  const wb::String text = wb::platform::DateToText(45000.5);  // 2023-03-15 12:00:00
  checks.Expect(
      text.find(u"2023") != wb::String::npos && text.find(u"12:00:00") != wb::String::npos,
      "DateToText gives the date and the time", wb::ToUtf8(text));
  wb::platform::SetMousePointer(11);
  const int16_t busy = wb::platform::MousePointer();
  wb::platform::SetMousePointer(0);
  checks.Expect(busy == 11 && wb::platform::MousePointer() == 0, "MousePointer keeps what was set");
  checks.ExpectEq(wb::platform::CurrentProcessId(), GetCurrentProcessId(), "CurrentProcessId");
}

// ---- Owners (bridge/win) ------------------------------------------------------

// Counts what an owner frees instead of freeing anything.
int g_freed = 0;
struct CountingTraits {
  static int InvalidValue() noexcept { return 0; }
  static void Free(int) noexcept { ++g_freed; }
};
using Counted = wb::win::ScopedGeneric<int, CountingTraits>;
// A kernel HANDLE owner's notion of empty, with the closing counted.
struct CountingHandleTraits : wb::win::HandleTraits {
  static void Free(HANDLE) noexcept { ++g_freed; }
};
using CountedHandle = wb::win::ScopedGeneric<HANDLE, CountingHandleTraits>;
const HANDLE kSomeHandle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(0x1234));

// The busy blocks of the process heap, which LocalAlloc allocates from; 0
// when the heap cannot be walked.
size_t BusyHeapBlocks() {
  const HANDLE heap = GetProcessHeap();
  size_t busy = 0;
  if (!HeapLock(heap))
    return 0;
  PROCESS_HEAP_ENTRY entry{};
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
      ++busy;
  }
  HeapUnlock(heap);
  return busy;
}

// A Receive on an owner that holds a value is a slip, and a test program
// stops on it: a run of this program that makes the slip must not end well.
void SlipStopsTheProgram() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" receive-on-full-owner";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  DWORD code = 0;
  if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                     &startup, &child)) {
    const wb::win::ScopedHandle process(child.hProcess), thread(child.hThread);
    if (WaitForSingleObject(child.hProcess, 30000) != WAIT_OBJECT_0)
      TerminateProcess(child.hProcess, 0);
    GetExitCodeProcess(child.hProcess, &code);
  }
  checks.Expect(code != 0, "a Receive on an owner that holds a value stops a test program",
                "exit code " + std::to_string(code));
}

void OwnerChecks() {
  // What each use of an owner frees, counted over the owner's whole life.
  struct Case {
    const char* name;
    void (*use)();
    int frees;
  } const cases[] = {
      {"goes out of scope", [] { Counted c(1); }, 1},
      {"empty", [] { Counted c; }, 0},
      {"Reset to another value",
       [] {
         Counted c(1);
         c.Reset(2);
       },
       2},
      {"Reset to the value it holds",
       [] {
         Counted c(1);
         c.Reset(1);
       },
       1},
      {"Release", [] { (void)Counted(1).Release(); }, 0},
      {"moved twice",
       [] {
         Counted a(1);
         Counted b(std::move(a));
         Counted c;
         c = std::move(b);
       },
       1},
      {"unwound by a throw",
       [] {
         try {
           Counted c(1);
           throw std::bad_alloc();
         } catch (const std::bad_alloc&) {
         }
       },
       1},
      {"HANDLE: INVALID_HANDLE_VALUE is empty", [] { CountedHandle h(INVALID_HANDLE_VALUE); }, 0},
      {"HANDLE: Receive over INVALID_HANDLE_VALUE",
       [] {
         CountedHandle h;
         *h.Receive() = INVALID_HANDLE_VALUE;
         *h.Receive() = kSomeHandle;
       },
       1},
  };
  std::string wrong;
  for (const Case& c : cases) {
    g_freed = 0;
    c.use();
    if (g_freed != c.frees) {
      wrong += std::string(" ") + c.name + ": " + std::to_string(g_freed) + " frees, want " +
               std::to_string(c.frees) + ";";
    }
  }
  checks.Expect(wrong.empty(), "owners free what they hold exactly once, on every path", wrong);

  // The system's message for an HRESULT is copied out of a LocalAlloc buffer;
  // a copy that throws must not leave the buffer behind.
  const int32_t number = static_cast<int32_t>(E_FAIL);
  const bool has_message =
      wb::DescribeErrNumber(number) != wb::rt::Describe(wb::rt::kAutomationError);
  constexpr int kRounds = 200;
  int threw = 0;
  const auto describe_failing = [&threw, number] {
    t_fail_new = true;
    try {
      wb::DescribeErrNumber(number);
    } catch (const std::bad_alloc&) {
      ++threw;
    }
    t_fail_new = false;
  };
  describe_failing();  // the system's first-use allocations, outside the count
  threw = 0;
  const size_t before = BusyHeapBlocks();
  for (int i = 0; i < kRounds; ++i)
    describe_failing();
  const size_t after = BusyHeapBlocks();
  checks.Expect(has_message && threw == kRounds && before > 0 && after < before + kRounds / 4,
                "a system message whose copy throws leaves no LocalAlloc buffer behind",
                std::string(has_message ? "" : "no system message for E_FAIL; ") +
                    std::to_string(threw) + " of " + std::to_string(kRounds) +
                    " threw; busy heap blocks " + std::to_string(before) + " -> " +
                    std::to_string(after));
}

// The VARIANTs and DISPPARAMS that this width's code builds have the
// platform's layout for the width: Wine's own oleaut32 finds each argument
// where this code put it (16-byte VARIANTs on win32, 24 on win64) and reads
// a Long through a reference to a VARIANT. (Write-back through references is
// the bridge client's, against the reference suite.)
void LayoutChecks() {
  std::printf("# VARIANT %u bytes, DISPPARAMS %u bytes\n", unsigned(sizeof(VARIANT)),
              unsigned(sizeof(DISPPARAMS)));
  ScopedVariant inner(wb::ToComVariant(Variant::Str(u"7")));
  VARIANT args[3] = {Make(VT_I2), Make(VT_BYREF | VT_VARIANT), Make(VT_R8)};
  V_I2(&args[0]) = 3;
  V_VARIANTREF(&args[1]) = inner.AsInput();
  V_R8(&args[2]) = 1.0;
  DISPPARAMS params = {args, nullptr, 3, 0};
  VARIANT got = Make(VT_EMPTY);
  UINT bad = 0;
  // Arguments are stored last first: position 1 is args[1].
  const HRESULT hr = DispGetParam(&params, 1, VT_I4, &got, &bad);
  checks.Expect(hr == S_OK && V_VT(&got) == VT_I4 && V_I4(&got) == 7,
                "the platform reads the argument that this width's DISPPARAMS holds by reference");
}

// The backend against a component that Wine provides.
void DictionaryChecks() {
  wb::ErrRecord e = wb::CaptureError([] {
    wb::ObjectRef dict = wb::CreateObject(u"Scripting.Dictionary");
    // Text comparison: keys then match without regard to case.
    wb::LetMember(dict, u"CompareMode", Variant::Long(1));
    checks.Expect(wb::GetMember(dict, u"CompareMode") == Variant::Long(1), "a property put");
    wb::CallMember(dict, u"Add",
                   {wb::Arg::Val(Variant::Str(u"k")), wb::Arg::Val(Variant::Long(5))});
    // Item is a parameterised property: the key, then the assigned value.
    wb::Args put{wb::Arg::Val(Variant::Str(u"K")), wb::Arg::Val(Variant::Str(u"five"))};
    dict.get()->Invoke(u"Item", wb::CallKind::kLet, put);
    const Variant item = wb::GetMember(dict, u"item", {wb::Arg::Val(Variant::Str(u"k"))});
    checks.Expect(item == Variant::Str(u"five"),
                  "a parameterised property put and get, member names in any case");
    checks.Expect(wb::GetMember(dict, u"Count") == Variant::Long(1), "a property read");
  });
  checks.Expect(e.number == 0, "driving Scripting.Dictionary raises nothing", wbtest::ErrText());

  e = wb::CaptureError([] {
    wb::ObjectRef dict = wb::CreateObject(u"Scripting.Dictionary");
    wb::CallMember(dict, u"Add", {wb::Arg::Val(Variant::Long(1)), wb::Arg::Val(Variant())});
    wb::CallMember(dict, u"Add", {wb::Arg::Val(Variant::Long(1)), wb::Arg::Val(Variant())});
  });
  checks.ExpectEq(e.number, 457, "the component's own error number arrives");

  e = wb::CaptureError([] { wb::CreateObject(u"No.Such.ProgID"); });
  checks.Expect(e.number == 429 && e.source == u"Workbench" &&
                    e.description == u"ActiveX component can't create object",
                "an unknown ProgID raises 429", wbtest::ErrText());

  e = wb::CaptureError([] {
    wb::ObjectRef dict = wb::CreateObject(u"Scripting.Dictionary");
    wb::GetMember(dict, u"NoSuchMember");
  });
  checks.Expect(e.number == 438 && e.source == u"Workbench", "an unknown member raises 438",
                wbtest::ErrText());

  e = wb::CaptureError([] {
    wb::ObjectRef dict = wb::CreateObject(u"Scripting.Dictionary");
    wb::ObjectRef other = wb::CreateObject(u"Scripting.Dictionary");
    wb::CallMember(dict, u"Add",
                   {wb::Arg::Val(Variant::Str(u"o")), wb::Arg::Val(Variant::Object(other))});
    const Variant back = wb::GetMember(dict, u"Item", {wb::Arg::Val(Variant::Str(u"o"))});
    checks.Expect(back.IsObject() && wb::DispatchOf(back.object()) == wb::DispatchOf(other),
                  "an object passed in comes back as the same instance");
  });
  checks.Expect(e.number == 0, "passing objects raises nothing", wbtest::ErrText());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "receive-on-full-owner") {
    _set_error_mode(_OUT_TO_STDERR);
    Counted owner(1);
    *owner.Receive() = 2;
    return 0;
  }
  // The checks of each part below, in order.
  checks.Plan(11 + 15 + 5 + 4 + 8 + 4 + 3 + 1 + 9);
  if (FAILED(CoInitialize(nullptr))) {
    checks.Expect(false, "CoInitialize");
    return 1;
  }
  FromComVariantChecks();
  ToComVariantChecks();
  NumberMappingChecks();
  OutgoingChecks();
  IncomingChecks();
  PlatformChecks();
  OwnerChecks();
  SlipStopsTheProgram();
  LayoutChecks();
  DictionaryChecks();
  const int failed = checks.Finish();
  CoUninitialize();
  return failed;
}
