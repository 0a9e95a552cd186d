#include "entry/function_id_arg.h"

#include <oleauto.h>

#include <cmath>

#include "win/scoped_variant.h"

namespace wb::entry {

HRESULT ReadFunctionId(const VARIANT& arg, int32_t* id) noexcept {
  // A reference to a variant is followed to the value it holds (one level, as
  // VBScript passes it); VariantCopyInd then resolves any reference inside.
  const VARIANT* source = &arg;
  if (V_VT(source) == (VT_BYREF | VT_VARIANT)) {
    source = V_VARIANTREF(source);
    if (source == nullptr)
      return DISP_E_TYPEMISMATCH;
  }
  if (V_VT(source) == VT_ERROR && V_ERROR(source) == DISP_E_PARAMNOTFOUND) {
    return DISP_E_PARAMNOTOPTIONAL;
  }
  // A reference to nothing: VariantCopyInd would read through it.
  if ((V_VT(source) & VT_BYREF) != 0 && V_BYREF(source) == nullptr)
    return DISP_E_TYPEMISMATCH;
  // A copy, so that the caller's value is never touched by the coercion.
  win::ScopedVariant value;
  HRESULT hr = VariantCopyInd(value.Receive(), const_cast<VARIANT*>(source));
  if (FAILED(hr))
    return hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
  // NaN is no number of any range; Wine's coercion would turn it into a Long.
  if ((value.type() == VT_R8 && std::isnan(V_R8(&value.Get()))) ||
      (value.type() == VT_R4 && std::isnan(V_R4(&value.Get()))))
    return DISP_E_OVERFLOW;
  if (value.type() != VT_I4) {
    hr = VariantChangeType(value.AsInput(), value.AsInput(), 0, VT_I4);
    if (hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY)
      return hr;
    if (FAILED(hr))
      return DISP_E_TYPEMISMATCH;
  }
  *id = V_I4(&value.Get());
  return S_OK;
}

}  // namespace wb::entry
