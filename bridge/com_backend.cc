// The COM backend of the bridge: components created by ProgID through COM and
// driven through IDispatch by member name.
#include "bridge/com_backend.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <utility>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/com_errors.h"
#include "bridge/com_variant.h"
#include "core/err.h"
#include "core/ref_counted.h"
#include "core/runtime_errors.h"
#include "win/scoped_excep_info.h"
#include "win/scoped_variant.h"

namespace wb {

namespace {

using Microsoft::WRL::ComPtr;
using win::ScopedExcepInfo;
using win::ScopedVariant;

const OLECHAR* AsOle(const String& text) {
  return reinterpret_cast<const OLECHAR*>(text.c_str());
}

// The DISPPARAMS entry for a by-reference argument whose value is held in
// `storage`. The kinds that a variable of the caller can have travel as a
// reference to their own type; anything else as a reference to the VARIANT.
VARIANT ReferenceTo(ScopedVariant& storage) {
  VARIANT* held = storage.AsInput();
  VARIANT ref;
  VariantInit(&ref);
  switch (V_VT(held)) {
    case VT_I2:
      V_I2REF(&ref) = &V_I2(held);
      break;
    case VT_I4:
      V_I4REF(&ref) = &V_I4(held);
      break;
    case VT_R8:
      V_R8REF(&ref) = &V_R8(held);
      break;
    case VT_DATE:
      V_DATEREF(&ref) = &V_DATE(held);
      break;
    case VT_BSTR:
      V_BSTRREF(&ref) = &V_BSTR(held);
      break;
    case VT_BOOL:
      V_BOOLREF(&ref) = &V_BOOL(held);
      break;
    case VT_DISPATCH:
      V_DISPATCHREF(&ref) = &V_DISPATCH(held);
      break;
    default:
      V_VT(&ref) = VT_BYREF | VT_VARIANT;
      V_VARIANTREF(&ref) = held;
      return ref;
  }
  V_VT(&ref) = VT_BYREF | V_VT(held);
  return ref;
}

class DispatchObject final : public RefCountedThreadSafe<DispatchObject> {
 public:
  explicit DispatchObject(IDispatch* dispatch) : dispatch_(dispatch) {}

  Variant Invoke(StringView name, CallKind kind, Args& args) override;

  IDispatch* dispatch() const noexcept { return dispatch_.Get(); }

 private:
  friend class RefCountedThreadSafe<DispatchObject>;
  ~DispatchObject() = default;

  // The member's DISPID, asked of the component at every call.
  DISPID Resolve(StringView name) const;

  ComPtr<IDispatch> dispatch_;
};

DISPID DispatchObject::Resolve(StringView name) const {
  if (name.empty())
    return DISPID_VALUE;
  const String text(name);
  LPOLESTR names[] = {const_cast<LPOLESTR>(AsOle(text))};
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) {
    Err::RaiseRuntime(rt::kNoSuchMember);
  }
  if (FAILED(hr))
    RaiseFromHResult(hr);
  return id;
}

Variant DispatchObject::Invoke(StringView name, CallKind kind, Args& args) {
  const DISPID member = Resolve(name);

  // DISPPARAMS lists the arguments last to first. `owned` holds every value
  // (the storage of by-reference arguments included); `wire` is what the
  // component sees: plain copies of the by-value VARIANTs, references into
  // `owned` for the others. Ownership never moves to `wire`.
  const size_t count = args.size();
  std::vector<ScopedVariant> owned(count);
  std::vector<VARIANT> wire(count);
  for (size_t i = 0; i < count; ++i) {
    const size_t slot = count - 1 - i;
    owned[slot] = ToComVariant(args[i].value());
    wire[slot] = args[i].by_ref() ? ReferenceTo(owned[slot]) : owned[slot].Get();
  }

  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = count ? wire.data() : nullptr;
  params.cArgs = static_cast<UINT>(count);
  WORD flags = DISPATCH_METHOD;
  if (kind == CallKind::kGet)
    flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  if (kind == CallKind::kLet) {
    flags = DISPATCH_PROPERTYPUT;
    params.rgdispidNamedArgs = &put_id;
    params.cNamedArgs = 1;
  }

  ScopedVariant result;
  ScopedExcepInfo excep;
  UINT bad_arg = 0;
  // A stale error object must not be taken for this call's.
  SetErrorInfo(0, nullptr);
  const HRESULT hr = dispatch_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                       kind == CallKind::kLet ? nullptr : result.Receive(),
                                       excep.Receive(), &bad_arg);

  // The component may have written into by-reference arguments, also on its
  // way to an error: the caller's variables take their values (and kinds).
  for (size_t i = 0; i < count; ++i) {
    if (args[i].by_ref())
      args[i].value() = FromComVariant(owned[count - 1 - i].Get());
  }
  if (FAILED(hr))
    RaiseFromInvoke(hr, excep);
  return kind == CallKind::kGet ? FromComVariant(result.Get()) : Variant();
}

class ComFactory final : public ComponentFactory {
 public:
  ObjectRef Create(StringView prog_id) override {
    const String id(prog_id);
    CLSID clsid{};
    SetErrorInfo(0, nullptr);
    HRESULT hr = CLSIDFromProgID(AsOle(id), &clsid);
    if (FAILED(hr))
      RaiseCannotCreate(hr);
    ComPtr<IDispatch> dispatch;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                          IID_PPV_ARGS(&dispatch));
    if (FAILED(hr) || !dispatch)
      RaiseCannotCreate(hr);
    return WrapDispatch(dispatch.Get());
  }
};

}  // namespace

ObjectRef WrapDispatch(IDispatch* dispatch) {
  if (dispatch == nullptr)
    return ObjectRef();
  return ObjectRef(new DispatchObject(dispatch));
}

IDispatch* DispatchOf(const ObjectRef& object) noexcept {
  auto* com = dynamic_cast<DispatchObject*>(object.get());
  return com ? com->dispatch() : nullptr;
}

bool IsComBacked(const ObjectRef& object) noexcept {
  return object.IsNothing() || dynamic_cast<DispatchObject*>(object.get()) != nullptr;
}

ComponentFactory& DefaultComponentFactory() {
  static auto* factory = new ComFactory;
  return *factory;
}

}  // namespace wb
