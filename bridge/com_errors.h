// Errors across the COM boundary, in both directions.
//
// Incoming: an outgoing call on a component failed. `RaiseFromInvoke`,
// `RaiseFromHResult` and `RaiseCannotCreate` turn the failure into the
// thread's `Err` record (all five fields) and raise it, so that a failure never
// looks like success.
//
// Outgoing: one of our own COM entry points reports the pending `Err` to its
// host. `ReportErrToHost` does all of it; `HResultFromErr`, `FillExcepInfo`
// and `PublishErrorInfo` are its parts for callers that need only one.
//
// Error numbers follow the VB convention: number N (1..65535) travels as the
// HRESULT 0x800A0000 | N; a negative number is an HRESULT carried as it is.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <cstdint>

#include "core/err.h"
#include "core/text.h"
#include "win/scoped_excep_info.h"

namespace wb {

// ---- Incoming failures ----------------------------------------------------

// The error number for an HRESULT: 0x800Axxxx gives xxxx; the dispatch
// failures give the runtime's numbers (type mismatch 13, wrong argument count
// 450, argument not optional 449, overflow 6, unknown member 438, out of
// memory 7, bad variant type 458, no such interface 430); any other HRESULT
// is its own (negative) number.
int32_t ErrNumberFromHResult(HRESULT hr);

// The runtime's text for `number`; for an HRESULT number (negative) the
// system's message for it, or "Automation error".
String DescribeErrNumber(int32_t number);

// Raises for a failed call (any status but DISP_E_EXCEPTION): the number from
// `hr`, texts and help from the thread's IErrorInfo when the callee left one
// (the caller clears it with SetErrorInfo(0, nullptr) before the call),
// otherwise the runtime's texts.
[[noreturn]] void RaiseFromHResult(HRESULT hr);

// Raises the runtime's own error for `hr` (Source "Workbench"), for failures
// found on this side of a call, without looking at any IErrorInfo.
[[noreturn]] void RaiseRuntimeHResult(HRESULT hr);

// Raises for a failed IDispatch::Invoke. With DISP_E_EXCEPTION the EXCEPINFO
// (completed through pfnDeferredFillIn when set) gives the number (wCode, else
// from scode) and the texts; an EXCEPINFO that carries nothing still raises
// (texts from IErrorInfo when present, number 440 "Automation error" when no
// number is known).
[[noreturn]] void RaiseFromInvoke(HRESULT hr, win::ScopedExcepInfo& excep);

// Raises the runtime's 429 for a ProgID that cannot be resolved or created,
// with the IErrorInfo texts that the failed creation left, if any; or 7, out
// of memory, when that is why the creation failed (E_OUTOFMEMORY).
[[noreturn]] void RaiseCannotCreate(HRESULT hr);

// ---- Outgoing reports -----------------------------------------------------

// The status code for an error: number N in 1..65535 becomes
// MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, N); a negative number is an
// HRESULT and is returned as it is; anything else gives E_FAIL (never a
// success code).
HRESULT HResultFromErr(const ErrRecord& err) noexcept;

// Fills `excep` (which must be empty: its old texts are not freed) with the
// error: scode from HResultFromErr, wCode 0, Source, Description, HelpFile
// and HelpContext. The BSTRs become the receiver's. On lack of memory the
// texts stay null but the scode is still set.
void FillExcepInfo(const ErrRecord& err, EXCEPINFO* excep) noexcept;

// Publishes the error as the thread's rich error information for `iid`
// (CreateErrorInfo + SetErrorInfo), for vtable callers.
void PublishErrorInfo(const ErrRecord& err, REFIID iid) noexcept;

// For a COM entry point that failed with `err`: publishes the error info for
// `iid`, and returns the status to return to the host. When `excep` is given
// (IDispatch::Invoke), fills it and returns DISP_E_EXCEPTION, which is what
// script clients need to see all five fields; otherwise returns
// HResultFromErr(err).
HRESULT ReportErrToHost(const ErrRecord& err, REFIID iid, EXCEPINFO* excep) noexcept;

}  // namespace wb
