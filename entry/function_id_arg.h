// The argument of a late-bound `DEVOVIZoruze` call, read as the function id.
//
// Clients pass it in many shapes: VB6 early-bound-through-IDispatch a
// reference to a Long (VT_BYREF|VT_I4), VBScript a reference to its variable
// (VT_BYREF|VT_VARIANT), literals and JScript a value (VT_I4, VT_I2, VT_R8),
// and any client a text such as "1800201". Each is coerced to a Long the way
// the automation runtime coerces values. The caller's variable is only read.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstdint>

namespace wb::entry {

// S_OK with `*id` set; DISP_E_TYPEMISMATCH for a value that has no Long form
// (Null, an object without a default value, a non-numeric text, a reference
// whose pointer is null), DISP_E_OVERFLOW for a number out of range or NaN,
// DISP_E_PARAMNOTOPTIONAL for the missing-argument marker.
HRESULT ReadFunctionId(const VARIANT& arg, int32_t* id) noexcept;

}  // namespace wb::entry
