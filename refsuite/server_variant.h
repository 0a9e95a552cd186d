// VARIANT <-> wb::Variant for the COM binding, and the write-back into a
// caller's by-reference argument.
#pragma once

#include <windows.h>  // first: the other Windows headers need it

#include <oleauto.h>

#include "core/variant.h"

namespace refsuite::com {

// The value of a caller's argument; by-reference arguments are read through.
// Kinds the system does not use (arrays, records, ...) become Unsupported.
wb::Variant FromVariant(const VARIANT& value);

// Fills `out` (an uninitialised or empty VARIANT) with `value`. An
// Unsupported array value becomes an array of two Empty variants.
HRESULT ToVariant(const wb::Variant& value, VARIANT* out);

// Whether the component may write into an argument of this type: VT_BYREF
// with I4, I2, BSTR, BOOL, DISPATCH or VARIANT.
bool IsWritableReference(VARTYPE vt);

// Writes `value` into the caller's storage behind `arg` (one of the writable
// references), converted to its type; DISP_E_TYPEMISMATCH when it has none.
HRESULT WriteBack(const wb::Variant& value, const VARIANT& arg);

}  // namespace refsuite::com
