// Returning an HRESULT from a COM method. A method that runs portable code
// goes through its boundary adapter (Workbench: `RunForHost` in
// entry/host_call.h), which turns the raised error into what the host reads.
// The others return statuses, with these two, after WIL's macros of the same
// purpose:
//
//   WB_RETURN_IF_FAILED(expr)  returns the status of `expr` from the calling
//                              function when it is a failure
//   ResultFromException(body)  the status that `body` returns; an exception
//                              that leaves it becomes E_OUTOFMEMORY when
//                              memory ran out, E_UNEXPECTED otherwise
#pragma once

#include <windows.h>

#include <new>

#define WB_RETURN_IF_FAILED(expr)  \
  do {                             \
    const HRESULT wb_hr_ = (expr); \
    if (FAILED(wb_hr_))            \
      return wb_hr_;               \
  } while (false)

namespace wb::win {

template <class Body>
HRESULT ResultFromException(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace wb::win
