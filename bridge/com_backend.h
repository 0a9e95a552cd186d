// The COM side of `ObjectRef`: a component instance reached through
// its IDispatch. `DefaultComponentFactory()` creates these on Windows.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "core/automation_object.h"

namespace wb {

// An object for `dispatch` (which gets a reference of its own); Nothing for
// null. Members are resolved by name (GetIDsOfNames) at every call.
ObjectRef WrapDispatch(IDispatch* dispatch);

// The IDispatch behind a COM-backed object, without a new reference; null
// for Nothing and for objects of other backends (see `IsComBacked`).
IDispatch* DispatchOf(const ObjectRef& object) noexcept;

// Whether `object` is Nothing or reached through COM, i.e. can be handed to
// a component.
bool IsComBacked(const ObjectRef& object) noexcept;

}  // namespace wb
