// An early-bound C++ host of Workbench.dll: it creates CWorkbench by its
// CLSID, calls DEVOVIZoruze through the _CWorkbench table of methods and, when
// the store function fails, prints the rich error that the DLL published
// (ISupportErrorInfo / IErrorInfo).
//
//   early_bound.exe [function id]      (default 1800201, the member list lookup)
//
// Prints "DEVOVIZoruze(<id>): success", or "error <number>" and the error's
// other four fields; exits 0 on success and 1 on failure. Build it against
// dist/include (see README.md).
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>

// In exactly one source file of the host, <initguid.h> right before the header
// turns its GUID declarations into definitions.
#include <initguid.h>
#include "Workbench.h"  // _CWorkbench, CLSID_CWorkbench, IID__CWorkbench, DISPID_*

#include "host_support.h"

int main(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  LONG function_id = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1800201;

  example::ComApartment com;
  if (!com.Ready())
    return 1;

  // Workbench.dll must be registered (regsvr32 Workbench.dll), or named by
  // the host's manifest (see manifest_host.cpp).
  Microsoft::WRL::ComPtr<_CWorkbench> workbench;
  HRESULT hr = CoCreateInstance(CLSID_CWorkbench, nullptr, CLSCTX_INPROC_SERVER, IID__CWorkbench,
                                &workbench);
  if (FAILED(hr))
    return example::PrintCannotCreate("CWorkbench", hr);

  // [in, out] long*: the DLL reads the id and leaves the variable as it was.
  SetErrorInfo(0, nullptr);  // no stale error object from an earlier call
  hr = workbench->DEVOVIZoruze(&function_id);
  return example::PrintOutcome(function_id, hr, workbench.Get(), IID__CWorkbench);
}
