// What the C++ example hosts share: COM for the lifetime of main, a BSTR
// they own, and the lines they print about a call of DEVOVIZoruze. A host
// that copies one of the examples copies this header with it.
#pragma once

#include <windows.h>

#include <oleauto.h>  // after windows.h, which it needs
#include <wrl/client.h>

#include <cstdio>
#include <string>

namespace example {

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
  // True when COM came up; otherwise says why.
  bool Ready() const {
    if (FAILED(hr))
      std::printf("CoInitializeEx failed: 0x%08lX\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr);
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
inline std::string Utf8(BSTR text) {
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
inline long ErrorNumber(HRESULT hr) {
  return HRESULT_FACILITY(hr) == FACILITY_CONTROL ? HRESULT_CODE(hr) : static_cast<long>(hr);
}

// "cannot create <what>: 0x...", for a creation that failed; returns main's exit code.
inline int PrintCannotCreate(const char* what, HRESULT hr) {
  std::printf("cannot create %s: 0x%08lX\n", what, static_cast<unsigned long>(hr));
  return 1;
}

inline int PrintSuccess(long function_id) {
  std::printf("DEVOVIZoruze(%ld): success\n", function_id);
  return 0;
}

// The error's number and its other four fields; returns main's exit code.
inline int PrintError(long function_id,
                      long number,
                      BSTR source,
                      BSTR description,
                      BSTR help_file,
                      DWORD help_context) {
  std::printf("DEVOVIZoruze(%ld): error %ld\n", function_id, number);
  std::printf("  Source:      %s\n", Utf8(source).c_str());
  std::printf("  Description: %s\n", Utf8(description).c_str());
  std::printf("  HelpFile:    %s\n", Utf8(help_file).c_str());
  std::printf("  HelpContext: %lu\n", help_context);
  return 1;
}

// What a call through the table of methods of `object` returned: success, or
// the rich error the object published for `iid` (ISupportErrorInfo says
// whether it does; IErrorInfo holds it). Returns main's exit code.
inline int PrintOutcome(long function_id, HRESULT hr, IUnknown* object, REFIID iid) {
  if (SUCCEEDED(hr))
    return PrintSuccess(function_id);
  Microsoft::WRL::ComPtr<ISupportErrorInfo> support;
  Microsoft::WRL::ComPtr<IErrorInfo> info;
  if (FAILED(object->QueryInterface(IID_PPV_ARGS(&support))) ||
      support->InterfaceSupportsErrorInfo(iid) != S_OK || GetErrorInfo(0, &info) != S_OK || !info) {
    std::printf("DEVOVIZoruze(%ld): error %ld (no error information)\n", function_id,
                ErrorNumber(hr));
    return 1;
  }
  Bstr source, description, help_file;
  DWORD help_context = 0;
  info->GetSource(&source.text);
  info->GetDescription(&description.text);
  info->GetHelpFile(&help_file.text);
  info->GetHelpContext(&help_context);
  return PrintError(function_id, ErrorNumber(hr), source.text, description.text, help_file.text,
                    help_context);
}

}  // namespace example
