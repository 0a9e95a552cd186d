// A host that loads Workbench.dll as a plug-in from a folder of its choosing,
// with nothing registered and no manifest of its own for it: the host makes an
// activation context from the component's manifest at run time
// (CreateActCtxW) and activates it around the creation of the class
// (ActivateActCtx). Outside that context the same creation fails: for COM the
// class is not registered.
//
//   activation_context.exe <path of Workbench.manifest> [function id]
//
// Prints what the creation outside the context gave, then the same lines as
// early_bound.cpp. Workbench.dll sits beside the manifest. The components
// of the store suite that Workbench creates are found as the PC provides
// them (registered, or named by the host's own manifest).
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <initguid.h>
#include "Workbench.h"  // _CWorkbench, CLSID_CWorkbench, IID__CWorkbench

#include "host_support.h"

namespace {

// An activation context made from a manifest file, released on every path.
class ActivationContext {
 public:
  explicit ActivationContext(const std::wstring& manifest) {
    ACTCTXW request = {};
    request.cbSize = sizeof request;
    request.lpSource = manifest.c_str();
    handle_ = CreateActCtxW(&request);
    if (handle_ == INVALID_HANDLE_VALUE)
      error_ = HRESULT_FROM_WIN32(GetLastError());
  }
  ActivationContext(const ActivationContext&) = delete;
  ActivationContext& operator=(const ActivationContext&) = delete;
  ~ActivationContext() {
    if (handle_ != INVALID_HANDLE_VALUE)
      ReleaseActCtx(handle_);
  }
  HANDLE Get() const { return handle_; }
  HRESULT Error() const { return error_; }  // S_OK once made

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  HRESULT error_ = S_OK;
};

// The context active on this thread for the lifetime of the scope.
class ActivatedScope {
 public:
  explicit ActivatedScope(HANDLE context) {
    if (!ActivateActCtx(context, &cookie_))
      error_ = HRESULT_FROM_WIN32(GetLastError());
  }
  ActivatedScope(const ActivatedScope&) = delete;
  ActivatedScope& operator=(const ActivatedScope&) = delete;
  ~ActivatedScope() {
    if (SUCCEEDED(error_))
      DeactivateActCtx(0, cookie_);
  }
  HRESULT Error() const { return error_; }

 private:
  ULONG_PTR cookie_ = 0;
  HRESULT error_ = S_OK;
};

// A path from the command line, which comes in the ANSI code page.
std::wstring Wide(const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  std::wstring out(MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text, length, out.data(), static_cast<int>(out.size()));
  return out;
}

HRESULT CreateWorkbench(Microsoft::WRL::ComPtr<_CWorkbench>& workbench) {
  return CoCreateInstance(CLSID_CWorkbench, nullptr, CLSCTX_INPROC_SERVER, IID__CWorkbench,
                          &workbench);
}

}  // namespace

int main(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  if (argc < 2) {
    std::printf("usage: activation_context.exe <path of Workbench.manifest> [function id]\n");
    return 2;
  }
  const std::wstring manifest = Wide(argv[1]);
  LONG function_id = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 1800201;

  example::ComApartment com;
  if (!com.Ready())
    return 1;

  // Outside the context: REGDB_E_CLASSNOTREG (0x80040154) where nothing is
  // registered.
  Microsoft::WRL::ComPtr<_CWorkbench> workbench;
  HRESULT hr = CreateWorkbench(workbench);
  std::printf("outside the activation context: 0x%08lX\n", static_cast<unsigned long>(hr));
  workbench.Reset();

  const ActivationContext context(manifest);
  if (FAILED(context.Error())) {
    std::printf("CreateActCtxW failed: 0x%08lX\n", static_cast<unsigned long>(context.Error()));
    return 1;
  }
  {
    const ActivatedScope active(context.Get());
    if (FAILED(active.Error())) {
      std::printf("ActivateActCtx failed: 0x%08lX\n", static_cast<unsigned long>(active.Error()));
      return 1;
    }
    hr = CreateWorkbench(workbench);
  }
  if (FAILED(hr))
    return example::PrintCannotCreate("CWorkbench", hr);

  // The object needs the context no more: COM loaded the DLL through it.
  SetErrorInfo(0, nullptr);
  hr = workbench->DEVOVIZoruze(&function_id);
  return example::PrintOutcome(function_id, hr, workbench.Get(), IID__CWorkbench);
}
