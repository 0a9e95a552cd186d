#include "refsuite/server_variant.h"

#include <wrl/client.h>

#include <new>

#include "refsuite/com_instance.h"
#include "win/scoped_bstr.h"
#include "win/scoped_variant.h"

namespace refsuite::com {

namespace {

using Microsoft::WRL::ComPtr;
using wb::win::ScopedBstr;
using wb::win::ScopedVariant;

constexpr uint16_t kArrayBit = VT_ARRAY;

HRESULT MakeArray(VARIANT* out) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  if (array == nullptr)
    return E_OUTOFMEMORY;
  out->vt = VT_ARRAY | VT_VARIANT;
  out->parray = array;
  return S_OK;
}

}  // namespace

wb::Variant FromVariant(const VARIANT& value) {
  if (value.vt & VT_BYREF) {
    ScopedVariant direct;
    if (FAILED(VariantCopyInd(direct.Receive(), const_cast<VARIANT*>(&value)))) {
      return wb::Variant::Unsupported(value.vt);
    }
    return FromVariant(direct.Get());
  }
  switch (value.vt) {
    case VT_EMPTY:
      return wb::Variant();
    case VT_NULL:
      return wb::Variant::Null();
    case VT_I2:
      return wb::Variant::Integer(value.iVal);
    case VT_I4:
      return wb::Variant::Long(value.lVal);
    case VT_R4:
      return wb::Variant::Single(value.fltVal);
    case VT_R8:
      return wb::Variant::Double(value.dblVal);
    case VT_CY:
      return wb::Variant::Currency(value.cyVal.int64);
    case VT_DATE:
      return wb::Variant::Date(value.date);
    case VT_BSTR:
      return wb::Variant::Str(ScopedBstr::TextOf(value.bstrVal));
    case VT_DISPATCH:
      return wb::Variant::Object(ObjectFromUnknown(value.pdispVal));
    case VT_UNKNOWN:
      return wb::Variant::Object(ObjectFromUnknown(value.punkVal));
    case VT_ERROR:
      return wb::Variant::Error(value.scode);
    case VT_BOOL:
      return wb::Variant::Bool(value.boolVal != VARIANT_FALSE);
    case VT_UI1:
      return wb::Variant::Byte(value.bVal);
    default:
      return wb::Variant::Unsupported(value.vt);
  }
}

HRESULT ToVariant(const wb::Variant& value, VARIANT* out) {
  VariantInit(out);
  switch (value.kind()) {
    case wb::VarKind::kEmpty:
      return S_OK;
    case wb::VarKind::kNull:
      out->vt = VT_NULL;
      return S_OK;
    case wb::VarKind::kInteger:
      out->vt = VT_I2;
      out->iVal = static_cast<SHORT>(value.integral());
      return S_OK;
    case wb::VarKind::kLong:
      out->vt = VT_I4;
      out->lVal = static_cast<LONG>(value.integral());
      return S_OK;
    case wb::VarKind::kSingle:
      out->vt = VT_R4;
      out->fltVal = static_cast<float>(value.real());
      return S_OK;
    case wb::VarKind::kDouble:
      out->vt = VT_R8;
      out->dblVal = value.real();
      return S_OK;
    case wb::VarKind::kCurrency:
      out->vt = VT_CY;
      out->cyVal.int64 = value.integral();
      return S_OK;
    case wb::VarKind::kDate:
      out->vt = VT_DATE;
      out->date = value.real();
      return S_OK;
    case wb::VarKind::kString: {
      ScopedBstr text;
      try {
        text = ScopedBstr(value.str());
      } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
      }
      out->vt = VT_BSTR;
      out->bstrVal = text.Release();
      return S_OK;
    }
    case wb::VarKind::kObject: {
      ComPtr<IUnknown> unknown = UnknownOf(value.object());
      ComPtr<IDispatch> dispatch;
      if (unknown && FAILED(unknown.As(&dispatch))) {
        out->vt = VT_UNKNOWN;
        out->punkVal = unknown.Detach();
        return S_OK;
      }
      out->vt = VT_DISPATCH;
      out->pdispVal = dispatch.Detach();
      return S_OK;
    }
    case wb::VarKind::kError:
      out->vt = VT_ERROR;
      out->scode = static_cast<SCODE>(value.integral());
      return S_OK;
    case wb::VarKind::kBoolean:
      out->vt = VT_BOOL;
      out->boolVal = value.integral() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case wb::VarKind::kByte:
      out->vt = VT_UI1;
      out->bVal = static_cast<BYTE>(value.integral());
      return S_OK;
    case wb::VarKind::kUnsupported:
      return (value.unsupported_vartype() & kArrayBit) ? MakeArray(out) : S_OK;
  }
  return S_OK;
}

bool IsWritableReference(VARTYPE vt) {
  switch (vt) {
    case VT_BYREF | VT_I4:
    case VT_BYREF | VT_I2:
    case VT_BYREF | VT_BSTR:
    case VT_BYREF | VT_BOOL:
    case VT_BYREF | VT_DISPATCH:
    case VT_BYREF | VT_VARIANT:
      return true;
    default:
      return false;
  }
}

HRESULT WriteBack(const wb::Variant& value, const VARIANT& arg) {
  ScopedVariant converted;
  HRESULT hr = ToVariant(value, converted.Receive());
  if (FAILED(hr))
    return hr;
  const VARTYPE target = arg.vt & ~VT_BYREF;
  if (target == VT_VARIANT) {
    VariantClear(arg.pvarVal);
    *arg.pvarVal = converted.Release();
    return S_OK;
  }
  ScopedVariant typed;
  hr = VariantChangeType(typed.Receive(), const_cast<VARIANT*>(&converted.Get()), 0, target);
  if (FAILED(hr))
    return DISP_E_TYPEMISMATCH;
  const VARIANT& changed = typed.Get();
  // A string or object that the caller's slot held is freed as the new one
  // takes its place.
  switch (target) {
    case VT_I4:
      *arg.plVal = changed.lVal;
      return S_OK;
    case VT_I2:
      *arg.piVal = changed.iVal;
      return S_OK;
    case VT_BOOL:
      *arg.pboolVal = changed.boolVal;
      return S_OK;
    case VT_BSTR:
      SysFreeString(*arg.pbstrVal);
      *arg.pbstrVal = typed.Release().bstrVal;
      return S_OK;
    case VT_DISPATCH:
      if (*arg.ppdispVal)
        (*arg.ppdispVal)->Release();
      *arg.ppdispVal = typed.Release().pdispVal;
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace refsuite::com
