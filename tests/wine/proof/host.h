// The host's side of Workbench.dll for the proof clients: creating the class,
// calling DEVOVIZoruze through the table of methods and reading the error the
// host gets (status and IErrorInfo), the DLL's own DllCanUnloadNow, and the
// process's private memory.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <string>

#include "core/text.h"
#include "entry/dispatch.h"
#include "entry/workbench_idl.h"

namespace wbproof {

inline constexpr DISPID kDispidDEVOVIZoruze = DISPID_DEVOVIZORUZE;
using wb::entry::kBranchSetup;
using wb::entry::kLoyaltyPlan;
using wb::entry::kMemberLookup;
using wb::entry::kReceiptRoll;
using wb::entry::kReport;
// Not in the function table: nothing runs.
inline constexpr LONG kNoFunction = 1800501;

// What a host sees of one call: the status and, on failure, the five fields.
struct HostError {
  HRESULT hr = S_OK;
  wb::String source;
  wb::String description;
  wb::String help_file;
  DWORD help_context = 0;

  bool operator==(const HostError&) const = default;
};

// A new CWorkbench by CLSID (empty on failure).
Microsoft::WRL::ComPtr<_CWorkbench> NewWorkbench();

// DEVOVIZoruze(id) through the table of methods; the fields come from the
// thread's IErrorInfo, which is cleared before the call.
HostError CallVtable(_CWorkbench* workbench, LONG id);
// What the host reads of a call that returned `hr`: on failure, the fields
// of the thread's IErrorInfo.
HostError ReadHostError(HRESULT hr);

// The same through IDispatch::Invoke (VT_BYREF|VT_I4), fields from EXCEPINFO.
HostError CallDispatch(IDispatch* dispatch, LONG id);
// The same with `arg` as the id, as the host passes it.
HostError CallDispatchWith(IDispatch* dispatch, VARIANT arg);

// "hr 0x800a04d2, Source ..., Description ..." (the description shortened
// past 200 characters) for messages.
std::string Show(const HostError& error);

// DllCanUnloadNow of the Workbench.dll that COM loaded into this process;
// E_UNEXPECTED when it is not loaded.
HRESULT WorkbenchCanUnloadNow();

// PROCESS_MEMORY_COUNTERS_EX::PrivateUsage of this process. Wine fills it
// from the Unix process's swap use, so it reads 0 there.
SIZE_T PrivateUsage();
// The committed private memory of this process, summed over VirtualQuery's
// regions: what PrivateUsage counts on Windows, and readable under Wine.
SIZE_T CommittedPrivateBytes();

}  // namespace wbproof
