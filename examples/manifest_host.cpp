// A front-end that carries Workbench.dll in its own folder, with nothing
// registered: its application manifest (manifest_host.exe.manifest beside it,
// README.md shows one) names the assembly Workbench, whose manifest
// (Workbench.manifest beside Workbench.dll) declares the class. COM finds the
// class through them, by ProgID and by CLSID alike.
//
//   manifest_host.exe progid|clsid [function id]   (default 1800201)
//
// Creates the class one way or the other and calls DEVOVIZoruze late-bound,
// through IDispatch, as a VB-style front-end does; prints the same lines as
// early_bound.cpp, the five fields of an error read from the EXCEPINFO.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <initguid.h>
#include "Workbench.h"  // CLSID_CWorkbench

#include "host_support.h"

namespace {

// The EXCEPINFO of one Invoke, whose texts the callee allocated.
struct ExcepInfo {
  EXCEPINFO info = {};
  ExcepInfo() = default;
  ExcepInfo(const ExcepInfo&) = delete;
  ExcepInfo& operator=(const ExcepInfo&) = delete;
  ~ExcepInfo() {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
};

// By ProgID the CLSID comes from the activation context too (under Wine an
// alias of the class's own, which creates the same class).
HRESULT CreateWorkbench(bool by_prog_id, Microsoft::WRL::ComPtr<IDispatch>& workbench) {
  CLSID clsid = CLSID_CWorkbench;
  if (by_prog_id) {
    const HRESULT hr = CLSIDFromProgID(L"Workbench.CWorkbench", &clsid);
    if (FAILED(hr))
      return hr;
  }
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&workbench));
}

// workbench.DEVOVIZoruze id, with the id passed by reference as a VB-style
// host passes a variable. Returns main's exit code.
int CallByName(IDispatch* workbench, LONG function_id) {
  LPOLESTR name = const_cast<LPOLESTR>(L"DEVOVIZoruze");
  DISPID dispid = DISPID_UNKNOWN;
  HRESULT hr = workbench->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &dispid);
  if (FAILED(hr)) {
    std::printf("GetIDsOfNames(DEVOVIZoruze) failed: 0x%08lX\n", static_cast<unsigned long>(hr));
    return 1;
  }
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BYREF | VT_I4;  // points at function_id; nothing to free
  argument.plVal = &function_id;
  DISPPARAMS params = {&argument, nullptr, 1, 0};
  ExcepInfo error;
  hr = workbench->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                         &error.info, nullptr);
  if (SUCCEEDED(hr))
    return example::PrintSuccess(function_id);
  if (hr != DISP_E_EXCEPTION) {
    std::printf("DEVOVIZoruze(%ld): Invoke failed: 0x%08lX\n", function_id,
                static_cast<unsigned long>(hr));
    return 1;
  }
  if (error.info.pfnDeferredFillIn != nullptr)
    error.info.pfnDeferredFillIn(&error.info);
  const long number =
      error.info.wCode != 0 ? error.info.wCode : example::ErrorNumber(error.info.scode);
  return example::PrintError(function_id, number, error.info.bstrSource, error.info.bstrDescription,
                             error.info.bstrHelpFile, error.info.dwHelpContext);
}

}  // namespace

int main(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  if (argc < 2 || (std::strcmp(argv[1], "progid") != 0 && std::strcmp(argv[1], "clsid") != 0)) {
    std::printf("usage: manifest_host.exe progid|clsid [function id]\n");
    return 2;
  }
  const bool by_prog_id = std::strcmp(argv[1], "progid") == 0;
  const LONG function_id = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1800201;

  example::ComApartment com;
  if (!com.Ready())
    return 1;
  Microsoft::WRL::ComPtr<IDispatch> workbench;
  const HRESULT hr = CreateWorkbench(by_prog_id, workbench);
  if (FAILED(hr))
    return example::PrintCannotCreate(by_prog_id ? "Workbench.CWorkbench" : "CWorkbench", hr);
  return CallByName(workbench.Get(), function_id);
}
