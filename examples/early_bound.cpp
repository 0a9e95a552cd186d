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
#include <string>

// In exactly one source file of the host, <initguid.h> right before the header
// turns its GUID declarations into definitions.
#include <initguid.h>
#include "Workbench.h"  // _CWorkbench, CLSID_CWorkbench, IID__CWorkbench, DISPID_*

using Microsoft::WRL::ComPtr;

namespace {

// COM for the lifetime of main, one apartment thread (the class is
// ThreadingModel=Apartment).
struct ComApartment {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComApartment() = default;
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(hr))
      CoUninitialize();
  }
};

// A BSTR that the callee allocated and we free.
struct Bstr {
  BSTR text = nullptr;
  Bstr() = default;
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(text); }
};

// UTF-8, so that Chinese descriptions survive a console set to CP_UTF8 or a pipe.
std::string Utf8(BSTR text) {
  const int length = static_cast<int>(SysStringLen(text));
  if (length == 0)
    return std::string();
  std::string out(WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr),
                  '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], static_cast<int>(out.size()), nullptr,
                      nullptr);
  return out;
}

// The error number as a VB-style host sees it: 0x800A0000 | N is error N, any
// other HRESULT is its value as a (negative) Long.
long ErrorNumber(HRESULT hr) {
  return HRESULT_FACILITY(hr) == FACILITY_CONTROL ? HRESULT_CODE(hr) : static_cast<long>(hr);
}

// Prints the rich error of a failed call on `object`, when the object
// publishes one for _CWorkbench (it does: ISupportErrorInfo says so).
void PrintErrorInfo(IUnknown* object) {
  ComPtr<ISupportErrorInfo> support;
  ComPtr<IErrorInfo> info;
  if (FAILED(object->QueryInterface(IID_PPV_ARGS(&support))) ||
      support->InterfaceSupportsErrorInfo(IID__CWorkbench) != S_OK ||
      GetErrorInfo(0, &info) != S_OK || !info) {
    return;
  }
  Bstr source, description, help_file;
  DWORD help_context = 0;
  info->GetSource(&source.text);
  info->GetDescription(&description.text);
  info->GetHelpFile(&help_file.text);
  info->GetHelpContext(&help_context);
  std::printf("  Source:      %s\n", Utf8(source.text).c_str());
  std::printf("  Description: %s\n", Utf8(description.text).c_str());
  std::printf("  HelpFile:    %s\n", Utf8(help_file.text).c_str());
  std::printf("  HelpContext: %lu\n", help_context);
}

}  // namespace

int main(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  LONG function_id = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1800201;

  ComApartment com;
  if (FAILED(com.hr)) {
    std::printf("CoInitializeEx failed: 0x%08lX\n", static_cast<unsigned long>(com.hr));
    return 1;
  }

  // Workbench.dll must be registered (regsvr32 Workbench.dll).
  ComPtr<_CWorkbench> workbench;
  HRESULT hr = CoCreateInstance(CLSID_CWorkbench, nullptr, CLSCTX_INPROC_SERVER, IID__CWorkbench,
                                &workbench);
  if (FAILED(hr)) {
    std::printf("cannot create CWorkbench: 0x%08lX\n", static_cast<unsigned long>(hr));
    return 1;
  }

  // [in, out] long*: the DLL reads the id and leaves the variable as it was.
  SetErrorInfo(0, nullptr);  // no stale error object from an earlier call
  hr = workbench->DEVOVIZoruze(&function_id);
  if (SUCCEEDED(hr)) {
    std::printf("DEVOVIZoruze(%ld): success\n", function_id);
    return 0;
  }
  std::printf("DEVOVIZoruze(%ld): error %ld\n", function_id, ErrorNumber(hr));
  PrintErrorInfo(workbench.Get());
  return 1;
}
