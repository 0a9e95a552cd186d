#include "refsuite/com_instance.h"

#include <utility>
#include <vector>

#include "core/err.h"
#include "core/ref_counted.h"
#include "core/runtime_errors.h"
#include "core/text.h"
#include "refsuite/host_hook.h"
#include "refsuite/instance.h"
#include "refsuite/raise_style.h"
#include "refsuite/server_errors.h"
#include "refsuite/server_variant.h"
#include "refsuite/suite.h"
#include "win/com_object.h"
#include "win/wide_text.h"

// Answered only by suite objects of this DLL (an IDispatch by another IID):
// lets a suite object passed back as an argument be recognised (journal,
// argument patterns).
struct ISuiteObject : public IDispatch {};
// clang-format off
__CRT_UUID_DECL(ISuiteObject, 0x32976624, 0x8DA2, 0x4C98, 0xA9,0x61, 0x9E,0x38,0x53,0xCB,0x7D,0x0C)
// clang-format on

namespace refsuite::com {

namespace {

using Microsoft::WRL::ComPtr;

// How many suite objects' Invoke calls the calling thread is inside.
thread_local int t_invoking = 0;

class DispatchObject;

// The object as a `wb::Variant` holds it; shares the COM object's count.
class Facet final : public InstanceHolder {
 public:
  explicit Facet(DispatchObject& outer) : outer_(outer) {}
  void AddRef() noexcept override;
  void Release() noexcept override;
  wb::Variant Invoke(wb::StringView name, wb::CallKind kind, wb::Args& args) override {
    return instance().Invoke(name, kind, args);
  }
  Instance& instance() override;
  DispatchObject& outer() { return outer_; }

 private:
  DispatchObject& outer_;
};

class DispatchObject final
    : public wb::win::ComObject<wb::win::Chain<ISuiteObject, IDispatch>, ISupportErrorInfo> {
 public:
  explicit DispatchObject(std::unique_ptr<Instance> instance)
      : instance_(std::move(instance)), facet_(*this) {}

  Facet& facet() { return facet_; }
  Instance& instance() { return *instance_; }

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr)
      return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info != nullptr)
      *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE
  GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (names == nullptr || ids == nullptr || count == 0)
      return E_INVALIDARG;
    try {
      for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
      const wb::String name(wb::win::AsStringView(names[0] ? names[0] : L""));
      if (name.empty() || !instance_->HasMember(name)) {
        Suite::Get().journal().Write({{"event", "unknown-name"},
                                      {"progid", instance_->prog_id()},
                                      {"instance", instance_->id()},
                                      {"member", wb::ToUtf8(name)}});
        return DISP_E_UNKNOWNNAME;
      }
      ids[0] = IdOf(name);
      return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;  // no named arguments
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                   REFIID,
                                   LCID,
                                   WORD flags,
                                   DISPPARAMS* params,
                                   VARIANT* result,
                                   EXCEPINFO* excepinfo,
                                   UINT* arg_error) override {
    struct Invoking {
      Invoking() { ++t_invoking; }
      ~Invoking() { --t_invoking; }
    } invoking;
    try {
      return InvokeMember(id, flags, params, result, excepinfo, arg_error);
    } catch (...) {
      wb::Err::CaptureCurrentException();
      return ReportInvokeError(wb::Err::Get(), RaiseStyle::kExcepInfo, excepinfo);
    }
  }

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    return iid == IID_IDispatch ? S_OK : S_FALSE;
  }

 private:
  ~DispatchObject() override = default;

  // DISPIDs are handed out in the order names are first asked for; the name
  // is kept as the caller last spelled it, which is what the journal shows.
  DISPID IdOf(const wb::String& name) {
    for (size_t i = 0; i < names_.size(); ++i) {
      if (wb::EqualsIgnoreAsciiCase(names_[i], name)) {
        names_[i] = name;
        return static_cast<DISPID>(i + 1);
      }
    }
    names_.push_back(name);
    return static_cast<DISPID>(names_.size());
  }

  HRESULT InvokeMember(DISPID id,
                       WORD flags,
                       DISPPARAMS* params,
                       VARIANT* result,
                       EXCEPINFO* excepinfo,
                       UINT* arg_error) {
    wb::String name;
    if (id != DISPID_VALUE) {
      if (id < 1 || static_cast<size_t>(id) > names_.size())
        return DISP_E_MEMBERNOTFOUND;
      name = names_[static_cast<size_t>(id) - 1];
    } else if (!instance_->HasMember(name)) {
      return DISP_E_MEMBERNOTFOUND;
    }
    const wb::CallKind kind = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
                                  ? wb::CallKind::kLet
                              : (flags & DISPATCH_PROPERTYGET) ? wb::CallKind::kGet
                                                               : wb::CallKind::kCall;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    if (params == nullptr)
      params = &none;
    if (params->cNamedArgs > 0 && !(kind == wb::CallKind::kLet && params->cNamedArgs == 1 &&
                                    params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT)) {
      return DISP_E_NONAMEDARGS;
    }
    if (kind == wb::CallKind::kLet && params->cArgs == 0)
      return DISP_E_BADPARAMCOUNT;

    // DISPPARAMS holds the arguments last first.
    const UINT count = params->cArgs;
    auto source = [&](size_t i) -> VARIANT& { return params->rgvarg[count - 1 - i]; };
    std::vector<wb::Variant> values(count);
    std::vector<wb::Variant> before(count);
    wb::Args args;
    args.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      values[i] = FromVariant(source(i));
      before[i] = values[i];
      args.push_back(IsWritableReference(source(i).vt) ? wb::Arg::Ref(values[i])
                                                       : wb::Arg::Val(values[i]));
    }

    wb::Variant answer;
    bool raised = false;
    try {
      answer = instance_->Invoke(name, kind, args);
    } catch (const wb::RaisedError&) {
      raised = true;
    }
    // Write-backs reach the caller also when the member then raised.
    for (size_t i = 0; i < count; ++i) {
      if (!args[i].by_ref() || values[i] == before[i])
        continue;
      const HRESULT hr = WriteBack(values[i], source(i));
      if (FAILED(hr)) {
        if (arg_error != nullptr)
          *arg_error = static_cast<UINT>(count - 1 - i);
        return hr;
      }
    }
    if (raised)
      return ReportInvokeError(wb::Err::Get(), LastRaiseStyle(), excepinfo);
    if (result != nullptr && kind != wb::CallKind::kLet)
      return ToVariant(answer, result);
    return S_OK;
  }

  std::unique_ptr<Instance> instance_;
  Facet facet_;
  std::vector<wb::String> names_;
};

void Facet::AddRef() noexcept {
  outer_.AddRef();
}
void Facet::Release() noexcept {
  outer_.Release();
}
Instance& Facet::instance() {
  return outer_.instance();
}

// A caller's object that went into a value: held, passed along, never called.
class ForeignObject final : public wb::RefCountedThreadSafe<ForeignObject> {
 public:
  explicit ForeignObject(IUnknown* unknown) : unknown_(unknown) {}
  wb::Variant Invoke(wb::StringView, wb::CallKind, wb::Args&) override {
    wb::Err::RaiseRuntime(wb::rt::kNoSuchMember);
  }
  IUnknown* unknown() const { return unknown_.Get(); }

 private:
  friend class wb::RefCountedThreadSafe<ForeignObject>;
  ~ForeignObject() = default;
  ComPtr<IUnknown> unknown_;
};

}  // namespace

wb::ObjectRef MakeDispatchObject(std::unique_ptr<Instance> instance) {
  auto* object = new DispatchObject(std::move(instance));
  return wb::ObjectRef(&object->facet());
}

ComPtr<IUnknown> UnknownOf(const wb::ObjectRef& object) {
  if (auto* facet = dynamic_cast<Facet*>(object.get())) {
    IDispatch* dispatch = static_cast<ISuiteObject*>(&facet->outer());
    return ComPtr<IUnknown>(dispatch);
  }
  if (auto* foreign = dynamic_cast<ForeignObject*>(object.get()))
    return ComPtr<IUnknown>(foreign->unknown());
  return nullptr;
}

wb::ObjectRef ObjectFromUnknown(IUnknown* unknown) {
  if (unknown == nullptr)
    return {};
  ComPtr<ISuiteObject> ours;
  if (SUCCEEDED(unknown->QueryInterface(IID_PPV_ARGS(ours.ReleaseAndGetAddressOf()))) && ours)
    return wb::ObjectRef(&static_cast<DispatchObject*>(ours.Get())->facet());
  return wb::ObjectRef(new ForeignObject(unknown));
}

}  // namespace refsuite::com

// Exported: whether the calling thread is running a suite object's member,
// so that a test failing the caller's allocations can leave the suite's alone.
extern "C" int RefSuiteInvoking() {
  return refsuite::com::t_invoking;
}

// Exported: sets the calling thread's host hook (refsuite/host_hook.h), a
// function of the host that a member script with "callHost" calls with
// `context` in the middle of its call; null removes it. While the hook runs,
// the thread counts as outside the suite (RefSuiteInvoking answers 0).
extern "C" void __stdcall RefSuiteSetHostHook(void(__stdcall* hook)(void*), void* context) {
  if (hook == nullptr) {
    refsuite::InstallHostHook(nullptr);
    return;
  }
  refsuite::InstallHostHook([hook, context] {
    struct Outside {
      int saved = std::exchange(refsuite::com::t_invoking, 0);
      ~Outside() { refsuite::com::t_invoking = saved; }
    } outside;
    hook(context);
  });
}
