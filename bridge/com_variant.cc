#include "bridge/com_variant.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <cmath>
#include <limits>

#include "bridge/com_backend.h"
#include "bridge/com_errors.h"
#include "core/err.h"
#include "core/runtime_errors.h"
#include "trace/traced_object.h"
#include "win/scoped_bstr.h"

namespace wb {

using win::ScopedBstr;
using win::ScopedVariant;

namespace {

using Microsoft::WRL::ComPtr;

// Integral types outside the system's kinds, and decimals: a Long when the
// value is whole and fits, otherwise a Double.
Variant FromWiderNumber(const VARIANT& value) {
  ScopedVariant real;
  if (FAILED(VariantChangeType(real.Receive(), const_cast<VARIANT*>(&value), 0, VT_R8))) {
    return Variant::Unsupported(V_VT(&value));
  }
  const double d = V_R8(&real.Get());
  if (std::trunc(d) == d && d >= std::numeric_limits<int32_t>::min() &&
      d <= std::numeric_limits<int32_t>::max()) {
    return Variant::Long(static_cast<int32_t>(d));
  }
  return Variant::Double(d);
}

Variant FromUnknown(IUnknown* unknown) {
  if (unknown == nullptr)
    return Variant::Object(ObjectRef());
  ComPtr<IDispatch> dispatch;
  if (FAILED(unknown->QueryInterface(IID_PPV_ARGS(&dispatch))) || !dispatch) {
    return Variant::Unsupported(VT_UNKNOWN);
  }
  return Variant::Object(WrapDispatch(dispatch.Get()));
}

}  // namespace

Variant FromComVariant(const VARIANT& value) {
  const VARTYPE vt = V_VT(&value);
  if (vt & VT_ARRAY)
    return Variant::Unsupported(vt);
  if (vt & VT_BYREF) {
    ScopedVariant direct;
    if (FAILED(VariantCopyInd(direct.Receive(), const_cast<VARIANT*>(&value))))
      return Variant::Unsupported(vt);
    if (V_VT(&direct.Get()) & VT_BYREF)
      return Variant::Unsupported(vt);
    return FromComVariant(direct.Get());
  }
  switch (vt) {
    case VT_EMPTY:
      return Variant();
    case VT_NULL:
      return Variant::Null();
    case VT_I2:
      return Variant::Integer(V_I2(&value));
    case VT_I4:
      return Variant::Long(V_I4(&value));
    case VT_R4:
      return Variant::Single(V_R4(&value));
    case VT_R8:
      return Variant::Double(V_R8(&value));
    case VT_CY:
      return Variant::Currency(V_CY(&value).int64);
    case VT_DATE:
      return Variant::Date(V_DATE(&value));
    case VT_BSTR:
      return Variant::Str(ScopedBstr::TextOf(V_BSTR(&value)));
    case VT_DISPATCH:
      return Variant::Object(WrapDispatch(V_DISPATCH(&value)));
    case VT_UNKNOWN:
      return FromUnknown(V_UNKNOWN(&value));
    case VT_ERROR:
      return Variant::Error(V_ERROR(&value));
    case VT_BOOL:
      return Variant::Bool(V_BOOL(&value) != VARIANT_FALSE);
    case VT_UI1:
      return Variant::Byte(V_UI1(&value));
    case VT_I1:
    case VT_UI2:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_DECIMAL:
      return FromWiderNumber(value);
    default:
      return Variant::Unsupported(vt);
  }
}

ScopedVariant ToComVariant(const Variant& value) {
  VARIANT out;
  VariantInit(&out);
  switch (value.kind()) {
    case VarKind::kEmpty:
      break;
    case VarKind::kNull:
      V_VT(&out) = VT_NULL;
      break;
    case VarKind::kInteger:
      return ScopedVariant(static_cast<int16_t>(value.integral()));
    case VarKind::kLong:
      return ScopedVariant(static_cast<int32_t>(value.integral()));
    case VarKind::kSingle:
      V_VT(&out) = VT_R4;
      V_R4(&out) = static_cast<float>(value.real());
      break;
    case VarKind::kDouble:
      return ScopedVariant(value.real());
    case VarKind::kCurrency:
      V_VT(&out) = VT_CY;
      V_CY(&out).int64 = value.integral();
      break;
    case VarKind::kDate:
      V_VT(&out) = VT_DATE;
      V_DATE(&out) = value.real();
      break;
    case VarKind::kString:
      return ScopedVariant(value.str());
    case VarKind::kObject: {
      // A component created while the trace was on goes as itself, also
      // to one created after the trace went off or left untraced.
      const ObjectRef& object = trace::TracedObject::Unwrap(value.object());
      if (!IsComBacked(object))
        Err::RaiseRuntime(rt::kTypeMismatch);
      return ScopedVariant(DispatchOf(object));
    }
    case VarKind::kError:
      V_VT(&out) = VT_ERROR;
      V_ERROR(&out) = static_cast<SCODE>(value.integral());
      break;
    case VarKind::kBoolean:
      return ScopedVariant(value.integral() != 0);
    case VarKind::kByte:
      V_VT(&out) = VT_UI1;
      V_UI1(&out) = static_cast<BYTE>(value.integral());
      break;
    case VarKind::kUnsupported:
      RaiseRuntimeHResult(DISP_E_BADVARTYPE);
  }
  ScopedVariant owned;
  owned.Reset(out);
  return owned;
}

}  // namespace wb
