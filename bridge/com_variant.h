// Conversion between automation VARIANTs and `Variant`.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "core/variant.h"
#include "win/scoped_variant.h"

namespace wb {

// The value of a VARIANT. VT_BYREF values are read through their reference.
// VT_I2, I4, R4, R8, CY, DATE, BSTR (embedded NULs kept), BOOL, UI1, ERROR,
// EMPTY and NULL map to the kind of the same number; VT_DISPATCH (and
// VT_UNKNOWN that has an IDispatch) to an Object; the other integral types
// and VT_DECIMAL to a Long when the value is a whole number in range, else to
// a Double. Arrays and anything else give Variant::Unsupported(vt).
Variant FromComVariant(const VARIANT& value);

// An owned VARIANT holding `value`: each kind maps to the VARTYPE of its own
// number. Raises 13 (type mismatch) for an object that is not COM-backed and
// 458 for an unsupported value, which cannot be handed back to a component.
win::ScopedVariant ToComVariant(const Variant& value);

}  // namespace wb
