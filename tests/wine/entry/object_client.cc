// Workbench.dll as a COM server, called the way hosts call it: the class
// factory and DllCanUnloadNow, the instance's interfaces, the hand-written
// IDispatch with every argument shape that clients send, and the table of
// methods (early binding). Ids outside the function table are used, so no
// store function runs; the error paths are covered by the suite-backed
// clients.
//   object_client.exe <Workbench.dll>   (registered before the run)
#include <windows.h>

#include <cguid.h>
#include <initguid.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <string>
#include <utility>

#include "entry/workbench_idl.h"
#include "tests/wine/lib/checks.h"
#include "tests/wine/lib/stack_com_object.h"
#include "win/com_object.h"
#include "win/scoped_bstr.h"
#include "win/scoped_excep_info.h"
#include "win/scoped_variant.h"
#include "win/wide_text.h"

namespace {

using Microsoft::WRL::ComPtr;
using wb::win::ScopedBstr;
using wb::win::ScopedExcepInfo;
using wb::win::ScopedVariant;
using wbtest::Checks;
using wbtest::ExpectHr;
using wbtest::Hex;
using wbtest::RefTo;

constexpr DISPID kShowWorkbenchForm = DISPID_SHOWWORKBENCHFORM;
constexpr DISPID kDEVOVIZoruze = DISPID_DEVOVIZORUZE;
// Not in the function table: the call returns normally and does nothing.
constexpr LONG kNoFunction = 1800501;

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

// The DLL loaded by path, as COM loads it.
class Library {
 public:
  explicit Library(const wchar_t* path) : module_(LoadLibraryW(path)) {}
  ~Library() {
    if (module_)
      FreeLibrary(module_);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;
  template <class Fn>
  Fn Get(const char* name) const {
    return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)))
                   : nullptr;
  }

 private:
  HMODULE module_;
};

// ---- Class factory and unloading --------------------------------------------

void CheckFactory(Checks& t, const Library& dll) {
  auto get_class_object = dll.Get<GetClassObjectFn>("DllGetClassObject");
  auto can_unload = dll.Get<CanUnloadNowFn>("DllCanUnloadNow");
  t.Expect(get_class_object && can_unload, "the DLL exports DllGetClassObject, DllCanUnloadNow");
  if (!get_class_object || !can_unload)
    return;

  ComPtr<IClassFactory> factory;
  ExpectHr(t, get_class_object(CLSID_NULL, IID_PPV_ARGS(&factory)), CLASS_E_CLASSNOTAVAILABLE,
           "factory: another CLSID is refused");
  ExpectHr(t, get_class_object(CLSID_CWorkbench, IID_IClassFactory, nullptr), E_POINTER,
           "factory: null out-pointer");
  ExpectHr(t, get_class_object(CLSID_CWorkbench, IID_PPV_ARGS(&factory)), S_OK,
           "factory: obtained for CLSID_CWorkbench");
  if (!factory)
    return;
  ExpectHr(t, can_unload(), S_OK, "unload: a factory alone does not hold the DLL");

  ComPtr<IUnknown> outer_object;
  ExpectHr(t, factory->CreateInstance(factory.Get(), IID_PPV_ARGS(&outer_object)),
           CLASS_E_NOAGGREGATION, "factory: aggregation is refused");
  t.Expect(!outer_object, "factory: refused creation leaves the out-pointer null");
  ComPtr<IPersist> persist;
  ExpectHr(t, factory->CreateInstance(nullptr, IID_PPV_ARGS(&persist)), E_NOINTERFACE,
           "factory: an interface the class lacks");
  ExpectHr(t, can_unload(), S_OK, "unload: the refused instance is gone again");

  ComPtr<_CWorkbench> first, second;
  factory->CreateInstance(nullptr, IID_PPV_ARGS(&first));
  factory->CreateInstance(nullptr, IID_PPV_ARGS(&second));
  t.Expect(first && second && first.Get() != second.Get(),
           "factory: each creation makes a new instance");
  ExpectHr(t, can_unload(), S_FALSE, "unload: refused while instances live");
  first.Reset();
  ExpectHr(t, can_unload(), S_FALSE, "unload: refused while one instance lives");
  second.Reset();
  ExpectHr(t, can_unload(), S_OK, "unload: allowed once the instances are gone");

  ExpectHr(t, factory->LockServer(TRUE), S_OK, "lock: LockServer(TRUE)");
  ExpectHr(t, can_unload(), S_FALSE, "unload: refused while the server is locked");
  ExpectHr(t, factory->LockServer(FALSE), S_OK, "lock: LockServer(FALSE)");
  ExpectHr(t, can_unload(), S_OK, "unload: allowed after the unlock");
  t.Expect(FAILED(factory->LockServer(FALSE)), "lock: an unlock without a lock is refused");
  ExpectHr(t, can_unload(), S_OK, "unload: an extra unlock does not make the DLL look busy");
}

// ---- Interfaces of an instance ----------------------------------------------

void CheckInterfaces(Checks& t, _CWorkbench* object) {
  ComPtr<IUnknown> unknown, from_dispatch, from_error_info;
  object->QueryInterface(IID_PPV_ARGS(&unknown));
  ComPtr<IDispatch> dispatch;
  ComPtr<ISupportErrorInfo> error_info;
  object->QueryInterface(IID_PPV_ARGS(&dispatch));
  object->QueryInterface(IID_PPV_ARGS(&error_info));
  t.Expect(dispatch && error_info, "instance: IDispatch and ISupportErrorInfo");
  if (!dispatch || !error_info)
    return;
  dispatch->QueryInterface(IID_PPV_ARGS(&from_dispatch));
  error_info->QueryInterface(IID_PPV_ARGS(&from_error_info));
  t.Expect(
      unknown && unknown.Get() == from_dispatch.Get() && unknown.Get() == from_error_info.Get(),
      "instance: one IUnknown identity through every interface");

  void* persist = &persist;  // a failed QueryInterface must overwrite it with null
  ExpectHr(t, object->QueryInterface(IID_IPersist, &persist), E_NOINTERFACE,
           "instance: QueryInterface for an interface it lacks");
  t.Expect(persist == nullptr, "instance: a failed QueryInterface nulls the out-pointer");
  ExpectHr(t, object->QueryInterface(IID_IDispatch, nullptr), E_POINTER,
           "instance: QueryInterface with a null out-pointer");

  ExpectHr(t, error_info->InterfaceSupportsErrorInfo(IID__CWorkbench), S_OK,
           "instance: rich errors for _CWorkbench");
  ExpectHr(t, error_info->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE,
           "instance: no rich errors claimed for other interfaces");
}

void CheckTypeInfo(Checks& t, IDispatch* dispatch) {
  UINT count = 0;
  ExpectHr(t, dispatch->GetTypeInfoCount(&count), S_OK, "typeinfo: count readable");
  t.ExpectEq(count, 1, "typeinfo: count is 1");
  ExpectHr(t, dispatch->GetTypeInfoCount(nullptr), E_POINTER, "typeinfo: count, null pointer");

  ComPtr<ITypeInfo> info;
  ExpectHr(t, dispatch->GetTypeInfo(0, 0, info.ReleaseAndGetAddressOf()), S_OK,
           "typeinfo: index 0");
  if (info) {
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(info->GetTypeAttr(&attr))) {
      t.Expect(IsEqualIID(attr->guid, IID__CWorkbench) && attr->typekind == TKIND_DISPATCH,
               "typeinfo: describes _CWorkbench's dispatch side");
      info->ReleaseTypeAttr(attr);
    } else {
      t.Expect(false, "typeinfo: describes _CWorkbench's dispatch side", "no attributes");
    }
  }
  ComPtr<ITypeInfo> none;
  ExpectHr(t, dispatch->GetTypeInfo(1, 0, none.ReleaseAndGetAddressOf()), DISP_E_BADINDEX,
           "typeinfo: index 1");
  ExpectHr(t, dispatch->GetTypeInfo(0, 0, nullptr), E_POINTER, "typeinfo: null pointer");
}

void CheckNames(Checks& t, IDispatch* dispatch) {
  struct Case {
    const wchar_t* name;
    HRESULT hr;
    DISPID dispid;
  } const cases[] = {
      {L"DEVOVIZoruze", S_OK, kDEVOVIZoruze},
      {L"devovizoruze", S_OK, kDEVOVIZoruze},
      {L"SHOWWORKBENCHFORM", S_OK, kShowWorkbenchForm},
      {L"ShowWorkbench", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
      {L"", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
  };
  for (const Case& c : cases) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(c.name)};
    DISPID dispid = 12345;
    const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid);
    const std::string label = "names: \"" + wb::win::Utf8(c.name) + "\"";
    t.Expect(hr == c.hr && dispid == c.dispid, label,
             "got " + Hex(hr) + " id " + std::to_string(dispid));
  }
  // A member with its parameter's name, as a VB-style host asks for a named
  // argument; a name that is no parameter is unknown, the member still
  // resolves; IDispatch's own methods are not members for callers.
  struct Names {
    const wchar_t* member;
    const wchar_t* param;
    HRESULT hr;
    DISPID ids[2];
  } const named[] = {
      {L"DEVOVIZoruze", L"FDetailFuncID", S_OK, {kDEVOVIZoruze, DISPID_DEVOVIZORUZE_FDETAILFUNCID}},
      {L"devovizoruze", L"FDETAILFUNCID", S_OK, {kDEVOVIZoruze, DISPID_DEVOVIZORUZE_FDETAILFUNCID}},
      {L"DEVOVIZoruze", L"FuncID", DISP_E_UNKNOWNNAME, {kDEVOVIZoruze, DISPID_UNKNOWN}},
      {L"ShowWorkbenchForm",
       L"FDetailFuncID",
       DISP_E_UNKNOWNNAME,
       {kShowWorkbenchForm, DISPID_UNKNOWN}},
      {L"QueryInterface", nullptr, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN, 0}},
      {L"Invoke", nullptr, DISP_E_UNKNOWNNAME, {DISPID_UNKNOWN, 0}},
  };
  for (const Names& c : named) {
    LPOLESTR two[] = {const_cast<LPOLESTR>(c.member), const_cast<LPOLESTR>(c.param)};
    const UINT count = c.param ? 2 : 1;
    DISPID ids[2] = {12345, 0};
    const HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, two, count, 0, ids);
    std::string label = "names: " + wb::win::Utf8(c.member);
    if (c.param)
      label += " " + wb::win::Utf8(c.param);
    t.Expect(hr == c.hr && ids[0] == c.ids[0] && (count == 1 || ids[1] == c.ids[1]), label,
             Hex(hr) + " " + std::to_string(ids[0]) + " " + std::to_string(ids[1]));
  }
  LPOLESTR two[] = {const_cast<LPOLESTR>(L"DEVOVIZoruze"), const_cast<LPOLESTR>(L"FDetailFuncID")};
  DISPID id = 0;
  ExpectHr(t, dispatch->GetIDsOfNames(IID_IDispatch, two, 1, 0, &id), DISP_E_UNKNOWNINTERFACE,
           "names: riid other than IID_NULL");
  ExpectHr(t, dispatch->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_INVALIDARG,
           "names: null name array");
}

// ---- IDispatch::Invoke --------------------------------------------------------

struct InvokeResult {
  HRESULT hr = E_FAIL;
  UINT arg_error = 99;
  VARTYPE result_type = VT_ILLEGAL;
};

InvokeResult Call(IDispatch* dispatch,
                  DISPID dispid,
                  WORD flags,
                  VARIANT* args,
                  UINT count,
                  DISPID* named = nullptr,
                  UINT named_count = 0) {
  DISPPARAMS params = {args, named, count, named_count};
  // A plain value that a conforming callee overwrites.
  ScopedVariant result(77);
  ScopedExcepInfo excep;
  InvokeResult out;
  out.hr = dispatch->Invoke(dispid, IID_NULL, 0, flags, &params, result.AsInput(), excep.Receive(),
                            &out.arg_error);
  out.result_type = result.type();
  return out;
}

// One argument shape of DEVOVIZoruze that must be accepted.
void ExpectAccepted(Checks& t,
                    IDispatch* dispatch,
                    ScopedVariant arg,
                    const std::string& name,
                    WORD flags = DISPATCH_METHOD) {
  const InvokeResult r = Call(dispatch, kDEVOVIZoruze, flags, arg.AsInput(), 1);
  t.Expect(r.hr == S_OK && r.result_type == VT_EMPTY, "invoke: " + name,
           "got " + Hex(r.hr) + ", result type " + std::to_string(r.result_type));
}

void ExpectRefused(Checks& t,
                   IDispatch* dispatch,
                   ScopedVariant arg,
                   HRESULT expected,
                   const std::string& name) {
  const InvokeResult r = Call(dispatch, kDEVOVIZoruze, DISPATCH_METHOD, arg.AsInput(), 1);
  t.Expect(r.hr == expected && r.arg_error == 0, "invoke: " + name,
           "got " + Hex(r.hr) + " arg " + std::to_string(r.arg_error) + ", want " + Hex(expected) +
               " arg 0");
}

void CheckInvokeArguments(Checks& t, IDispatch* dispatch) {
  // VB6 through IDispatch: a reference to a Long, which is only read.
  LONG id = kNoFunction;
  ExpectAccepted(t, dispatch, RefTo(id), "VT_BYREF|VT_I4");
  t.ExpectEq(id, kNoFunction, "invoke: the referenced Long is unchanged");

  // VBScript: a reference to the script's variable.
  ScopedVariant variable(kNoFunction);
  ExpectAccepted(t, dispatch, RefTo(variable), "VT_BYREF|VT_VARIANT holding a Long");
  t.Expect(variable.type() == VT_I4 && V_I4(&variable.Get()) == kNoFunction,
           "invoke: the referenced variable keeps its type and value");

  // A variable holding text: it is converted for the call, not in place.
  variable = ScopedVariant(u"1800501");
  ExpectAccepted(t, dispatch, RefTo(variable), "VT_BYREF|VT_VARIANT holding text");
  t.Expect(variable.type() == VT_BSTR && ScopedBstr::TextOf(V_BSTR(&variable.Get())) == u"1800501",
           "invoke: the referenced text variable is unchanged");

  ExpectAccepted(t, dispatch, ScopedVariant(kNoFunction), "VT_I4 by value");
  ExpectAccepted(t, dispatch, ScopedVariant(kNoFunction), "called as method or property get",
                 DISPATCH_METHOD | DISPATCH_PROPERTYGET);
  ExpectAccepted(t, dispatch, ScopedVariant(int16_t{-1}), "VT_I2 by value");
  ExpectAccepted(t, dispatch, ScopedVariant(1800501.0), "VT_R8 by value (JScript numbers)");
  ExpectAccepted(t, dispatch, ScopedVariant(u"1800501"), "VT_BSTR with a number");
  ExpectRefused(t, dispatch, ScopedVariant(u"abc"), DISP_E_TYPEMISMATCH, "text that is no number");
  ScopedVariant null_value;
  V_VT(null_value.AsInput()) = VT_NULL;
  ExpectRefused(t, dispatch, std::move(null_value), DISP_E_TYPEMISMATCH, "Null");
  ExpectRefused(t, dispatch, ScopedVariant(1e20), DISP_E_OVERFLOW, "a number beyond a Long");
  ScopedVariant missing;
  V_VT(missing.AsInput()) = VT_ERROR;
  V_ERROR(missing.AsInput()) = DISP_E_PARAMNOTFOUND;
  ExpectRefused(t, dispatch, std::move(missing), DISP_E_PARAMNOTOPTIONAL,
                "the missing-argument marker");
}

void CheckInvokeShape(Checks& t, IDispatch* dispatch) {
  ScopedVariant owned[2] = {ScopedVariant(kNoFunction), ScopedVariant(kNoFunction)};
  VARIANT args[2] = {owned[0].Get(), owned[1].Get()};
  ExpectHr(t, Call(dispatch, kDEVOVIZoruze, DISPATCH_METHOD, args, 0).hr, DISP_E_BADPARAMCOUNT,
           "invoke: DEVOVIZoruze without its argument");
  ExpectHr(t, Call(dispatch, kDEVOVIZoruze, DISPATCH_METHOD, args, 2).hr, DISP_E_BADPARAMCOUNT,
           "invoke: DEVOVIZoruze with two arguments");
  ExpectHr(t, Call(dispatch, kShowWorkbenchForm, DISPATCH_METHOD, args, 1).hr, DISP_E_BADPARAMCOUNT,
           "invoke: ShowWorkbenchForm with an argument");
  ExpectHr(t, Call(dispatch, kDEVOVIZoruze, DISPATCH_PROPERTYGET, args, 1).hr,
           DISP_E_MEMBERNOTFOUND, "invoke: a method read as a property");
  ExpectHr(t, Call(dispatch, kShowWorkbenchForm, DISPATCH_PROPERTYGET, args, 0).hr,
           DISP_E_MEMBERNOTFOUND, "invoke: ShowWorkbenchForm read as a property");
  ExpectHr(t, Call(dispatch, kDEVOVIZoruze, DISPATCH_PROPERTYPUT, args, 1).hr,
           DISP_E_MEMBERNOTFOUND, "invoke: a method assigned as a property");
  ExpectHr(t, Call(dispatch, DISPID_DEVOVIZORUZE + 1, DISPATCH_METHOD, args, 1).hr,
           DISP_E_MEMBERNOTFOUND, "invoke: an unknown dispatch id");
  ExpectHr(t, Call(dispatch, DISPID_VALUE, DISPATCH_METHOD, args, 0).hr, DISP_E_MEMBERNOTFOUND,
           "invoke: no default member");
  DISPPARAMS params = {args, nullptr, 1, 0};
  ExpectHr(t,
           dispatch->Invoke(kDEVOVIZoruze, IID_IDispatch, 0, DISPATCH_METHOD, &params, nullptr,
                            nullptr, nullptr),
           DISP_E_UNKNOWNINTERFACE, "invoke: riid other than IID_NULL");
  ExpectHr(t,
           dispatch->Invoke(kDEVOVIZoruze, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                            nullptr),
           S_OK, "invoke: result, EXCEPINFO and argument error pointers may all be null");
  ExpectHr(t,
           dispatch->Invoke(kDEVOVIZoruze, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr,
                            nullptr),
           E_INVALIDARG, "invoke: null DISPPARAMS");
}

// ---- Named arguments, beside the platform's own Invoke ----------------------

// A stand-in with the table of methods of _CWorkbench that only counts what
// reaches it: the platform's ITypeInfo::Invoke drives it from the type
// library, so that each shape of DISPPARAMS has the platform's answer beside
// Workbench's.
class MethodCounter final : public wb::win::StackComObject<wb::win::Chain<_CWorkbench, IDispatch>> {
 public:
  int shows = 0;
  int calls = 0;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE
  Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ShowWorkbenchForm() override {
    ++shows;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DEVOVIZoruze(LONG*) override {
    ++calls;
    return S_OK;
  }
};

void CheckNamedArguments(Checks& t, IDispatch* dispatch) {
  ComPtr<ITypeInfo> info;
  dispatch->GetTypeInfo(0, 0, info.ReleaseAndGetAddressOf());
  if (!info)
    return t.Expect(false, "named: type info for the platform's Invoke");
  constexpr DISPID kParam = DISPID_DEVOVIZORUZE_FDETAILFUNCID;
  constexpr DISPID kPut = DISPID_PROPERTYPUT;
  // Where the two differ, Workbench keeps to IDispatch's documented answers:
  // a name that is no parameter is DISP_E_PARAMNOTFOUND with the argument at
  // fault (this platform says the count is wrong), and arguments to spare are
  // DISP_E_BADPARAMCOUNT (this platform runs the method anyway). And the
  // platform refuses VBScript's reference to its variable, which is why
  // Workbench's Invoke is written by hand.
  struct Case {
    const char* name;
    DISPID member;
    UINT arg_count;
    DISPID named[2];
    UINT named_count;
    VARTYPE vt;
    HRESULT workbench;
    HRESULT platform;
    WORD flags = DISPATCH_METHOD;
  } const cases[] = {
      // clang-format off
      {"FDetailFuncID:=id", kDEVOVIZoruze, 1, {kParam}, 1, VT_I4, S_OK, S_OK},
      {"FDetailFuncID:= a Long by reference", kDEVOVIZoruze, 1, {kParam}, 1, VT_BYREF | VT_I4,
       S_OK, S_OK},
      {"FDetailFuncID:= a Variant by reference", kDEVOVIZoruze, 1, {kParam}, 1,
       VT_BYREF | VT_VARIANT, S_OK, DISP_E_TYPEMISMATCH},
      {"FDetailFuncID:= text", kDEVOVIZoruze, 1, {kParam}, 1, VT_BSTR, S_OK, S_OK},
      {"as a method or a property read", kDEVOVIZoruze, 1, {kParam}, 1, VT_I4, S_OK, S_OK,
       DISPATCH_METHOD | DISPATCH_PROPERTYGET},
      {"a name that is no parameter", kDEVOVIZoruze, 1, {1}, 1, VT_I4,
       DISP_E_PARAMNOTFOUND, DISP_E_BADPARAMCOUNT},
      {"a negative name", kDEVOVIZoruze, 1, {-5}, 1, VT_I4,
       DISP_E_PARAMNOTFOUND, DISP_E_BADPARAMCOUNT},
      {"DISPID_PROPERTYPUT as the name", kDEVOVIZoruze, 1, {kPut}, 1, VT_I4,
       DISP_E_PARAMNOTFOUND, S_OK},
      {"a second named argument", kDEVOVIZoruze, 2, {kParam, 1}, 2, VT_I4,
       DISP_E_BADPARAMCOUNT, S_OK},
      {"the parameter named twice", kDEVOVIZoruze, 2, {kParam, kParam}, 2, VT_I4,
       DISP_E_BADPARAMCOUNT, S_OK},
      {"a name without an argument", kDEVOVIZoruze, 0, {kParam}, 1, VT_I4,
       E_INVALIDARG, E_INVALIDARG},
      {"ShowWorkbenchForm with a named argument", kShowWorkbenchForm, 1, {kParam}, 1, VT_I4,
       DISP_E_BADPARAMCOUNT, S_OK},
      {"ShowWorkbenchForm, a name without an argument", kShowWorkbenchForm, 0, {kParam}, 1,
       VT_I4, E_INVALIDARG, E_INVALIDARG},
      // clang-format on
  };
  for (const Case& c : cases) {
    const std::string p = std::string("named: ") + c.name;
    LONG id = kNoFunction;
    ScopedVariant variable(kNoFunction);
    ScopedVariant args[2];
    for (ScopedVariant& arg : args) {
      if (c.vt == VT_I4)
        arg = ScopedVariant(kNoFunction);
      else if (c.vt == (VT_BYREF | VT_I4))
        arg = RefTo(id);
      else if (c.vt == (VT_BYREF | VT_VARIANT))
        arg = RefTo(variable);
      else
        arg = ScopedVariant(u"1800501");
    }
    VARIANT wire[2] = {args[0].Get(), args[1].Get()};
    DISPID named[2] = {c.named[0], c.named[1]};
    const WORD flags = c.flags;

    const InvokeResult ours =
        Call(dispatch, c.member, flags, wire, c.arg_count, named, c.named_count);
    t.Expect(ours.hr == c.workbench, p,
             "Workbench gave " + Hex(ours.hr) + ", want " + Hex(c.workbench));
    if (c.workbench == DISP_E_PARAMNOTFOUND)
      t.ExpectEq(ours.arg_error, 0, p + ": the named argument at fault");

    MethodCounter counter;
    DISPPARAMS params = {wire, named, c.arg_count, c.named_count};
    ScopedVariant result;
    ScopedExcepInfo excep;
    UINT arg_error = 0;
    const HRESULT platform = info->Invoke(&counter, c.member, flags, &params, result.Receive(),
                                          excep.Receive(), &arg_error);
    const int ran = counter.shows + counter.calls;
    t.Expect(
        platform == c.platform && ran == (SUCCEEDED(platform) ? 1 : 0),
        p + " (the platform's Invoke)",
        "gave " + Hex(platform) + " and ran " + std::to_string(ran) + ", want " + Hex(c.platform));
  }
}

// ---- Table of methods (early binding) ----------------------------------------

void CheckVtable(Checks& t, _CWorkbench* object) {
  const LONG ids[] = {kNoFunction, 0, -1};
  for (LONG value : ids) {
    LONG id = value;
    const std::string name = "vtable: DEVOVIZoruze(" + std::to_string(value) + ")";
    ExpectHr(t, object->DEVOVIZoruze(&id), S_OK, name + " returns normally");
    t.ExpectEq(id, value, name + " leaves the variable unchanged");
  }
  ExpectHr(t, object->DEVOVIZoruze(nullptr), E_POINTER, "vtable: DEVOVIZoruze(null)");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Checks t;
  if (argc != 2) {
    t.Expect(false, "arguments", "usage: object_client <Workbench.dll>");
    return t.Finish();
  }
  // The factory, the creation, interfaces, the table of methods, type info,
  // names, Invoke's arguments and shapes, the named arguments' 13 rows.
  t.Plan(19 + 1 + 7 + 7 + 7 + 13 + 15 + 11 + 13 * 2 + 3);
  CoInitialize(nullptr);
  {
    Library dll(argv[1]);
    CheckFactory(t, dll);

    // Early binding: created by CLSID through the registration.
    ComPtr<_CWorkbench> object;
    const HRESULT hr =
        CoCreateInstance(CLSID_CWorkbench, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
    ExpectHr(t, hr, S_OK, "CoCreateInstance(CLSID_CWorkbench) for _CWorkbench");
    if (object) {
      CheckInterfaces(t, object.Get());
      CheckVtable(t, object.Get());
      ComPtr<IDispatch> dispatch;
      object.As(&dispatch);
      if (dispatch) {
        CheckTypeInfo(t, dispatch.Get());
        CheckNames(t, dispatch.Get());
        CheckInvokeArguments(t, dispatch.Get());
        CheckInvokeShape(t, dispatch.Get());
        CheckNamedArguments(t, dispatch.Get());
      }
    }
  }
  CoUninitialize();
  return t.Finish();
}
