// The COM face of suite objects: every instance (component or answered
// object) is an IDispatch of its own, with ISupportErrorInfo.
#pragma once

#include <windows.h>  // first: the other Windows headers need it

#include <oleauto.h>
#include <wrl/client.h>

#include <memory>

#include "core/automation_object.h"

namespace refsuite {
class Instance;
}

namespace refsuite::com {

// Wraps a new instance into a COM object; the suite's object maker.
wb::ObjectRef MakeDispatchObject(std::unique_ptr<Instance> instance);

// The IDispatch behind a value's object (a suite object or a caller's), with
// a share for the caller; empty for Nothing.
Microsoft::WRL::ComPtr<IUnknown> UnknownOf(const wb::ObjectRef& object);

// A caller's object as a value: suite objects are recognised, others kept as
// foreign objects that the components only pass along.
wb::ObjectRef ObjectFromUnknown(IUnknown* unknown);

}  // namespace refsuite::com
