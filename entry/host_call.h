// The COM boundary of `CWorkbench`: each method runs its portable body through
// `RunForHost`, which lets no exception out and turns the error that leaves
// the body into what the host reads. Late-bound callers (IDispatch::Invoke,
// `excep_info` given) get DISP_E_EXCEPTION with a filled EXCEPINFO, which is
// what script clients need to see all five fields; callers through the table
// of methods get the error's status. Both find the error as the thread's
// IErrorInfo for `_CWorkbench`. `Err` is left clear, as the runtime clears it
// when a method returns. The field trace records the call's entry and its
// outcome here, around the call's frame (bridge/host_scope.h), which keeps
// what the call runs on alive and refuses re-entry beyond a fixed depth.
#pragma once

#include <oaidl.h>
#include <windows.h>

#include <cstdint>
#include <optional>
#include <utility>

#include "bridge/com_errors.h"
#include "bridge/host_scope.h"
#include "core/trap.h"
#include "entry/workbench_idl.h"
#include "trace/trace.h"

namespace wb::entry {

// A host's call: the method, and the function id when it has one.
struct HostCall {
  StringView method;
  std::optional<int32_t> id;
};

template <class Body>
HRESULT RunForHost(const HostCall& call, EXCEPINFO* excep_info, Body&& body) noexcept {
  const int32_t* id = call.id ? &*call.id : nullptr;
  trace::HostEnter(call.method, id);
  const ErrRecord error = CaptureHostCall(std::forward<Body>(body));
  trace::HostLeave(call.method, id, error);
  if (error.number == 0)
    return S_OK;
  return ReportErrToHost(error, IID__CWorkbench, excep_info);
}

}  // namespace wb::entry
