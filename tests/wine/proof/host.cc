#include "tests/wine/proof/host.h"

#include <psapi.h>

#include "tests/wine/lib/checks.h"
#include "win/scoped_bstr.h"
#include "win/scoped_excep_info.h"

namespace wbproof {

using Microsoft::WRL::ComPtr;
using wb::win::ScopedBstr;
using wb::win::ScopedExcepInfo;
using wbtest::Hex;

ComPtr<_CWorkbench> NewWorkbench() {
  ComPtr<_CWorkbench> object;
  CoCreateInstance(CLSID_CWorkbench, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
  return object;
}

HostError CallVtable(_CWorkbench* workbench, LONG id) {
  SetErrorInfo(0, nullptr);
  return ReadHostError(workbench->DEVOVIZoruze(&id));
}

HostError ReadHostError(HRESULT hr) {
  HostError out;
  out.hr = hr;
  if (SUCCEEDED(out.hr))
    return out;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.ReleaseAndGetAddressOf()) != S_OK || !info)
    return out;
  ScopedBstr source, description, help_file;
  info->GetSource(source.Receive());
  info->GetDescription(description.Receive());
  info->GetHelpFile(help_file.Receive());
  info->GetHelpContext(&out.help_context);
  out.source = source.Text();
  out.description = description.Text();
  out.help_file = help_file.Text();
  return out;
}

HostError CallDispatch(IDispatch* dispatch, LONG id) {
  wb::win::ScopedVariant arg = wbtest::RefTo(id);
  return CallDispatchWith(dispatch, *arg.AsInput());
}

HostError CallDispatchWith(IDispatch* dispatch, VARIANT arg) {
  DISPPARAMS params = {&arg, nullptr, 1, 0};
  ScopedExcepInfo excep;
  UINT arg_error = 0;
  HostError out;
  out.hr = dispatch->Invoke(kDispidDEVOVIZoruze, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr,
                            excep.Receive(), &arg_error);
  if (out.hr != DISP_E_EXCEPTION)
    return out;
  const EXCEPINFO& e = excep.Get();
  out.hr = e.scode;
  out.source = ScopedBstr::TextOf(e.bstrSource);
  out.description = ScopedBstr::TextOf(e.bstrDescription);
  out.help_file = ScopedBstr::TextOf(e.bstrHelpFile);
  out.help_context = e.dwHelpContext;
  return out;
}

std::string Show(const HostError& error) {
  std::string description = wb::ToUtf8(error.description);
  if (error.description.size() > 200) {
    description = wb::ToUtf8(error.description.substr(0, 200)) + "... (" +
                  std::to_string(error.description.size()) + " chars)";
  }
  return "hr " + Hex(error.hr) + ", Source \"" + wb::ToUtf8(error.source) + "\", Description \"" +
         description + "\", HelpFile \"" + wb::ToUtf8(error.help_file) + "\", HelpContext " +
         std::to_string(error.help_context);
}

HRESULT WorkbenchCanUnloadNow() {
  using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
  HMODULE module = GetModuleHandleW(L"Workbench.dll");
  if (module == nullptr)
    return E_UNEXPECTED;
  auto can_unload = reinterpret_cast<CanUnloadNowFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  return can_unload ? can_unload() : E_UNEXPECTED;
}

SIZE_T PrivateUsage() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(),
                            reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
    return 0;
  return counters.PrivateUsage;
}

SIZE_T CommittedPrivateBytes() {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region{};
  const char* at = nullptr;
  while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
      total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= at)
      break;
    at = next;
  }
  return total;
}

}  // namespace wbproof
