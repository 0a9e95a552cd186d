#include "refsuite/server_errors.h"

#include <wrl/client.h>

#include <new>

#include "win/scoped_bstr.h"

namespace refsuite::com {

namespace {

using Microsoft::WRL::ComPtr;
using wb::win::ScopedBstr;

// The error whose texts a deferred EXCEPINFO fills in: the caller asks on the
// same thread, right after Invoke returns.
thread_local wb::ErrRecord t_deferred;

// Fills the three texts and the help context, or (short of memory, which
// throws std::bad_alloc) nothing.
void FillTexts(const wb::ErrRecord& error, EXCEPINFO* info) {
  ScopedBstr source(error.source);
  ScopedBstr description(error.description);
  ScopedBstr help_file(error.help_file);
  info->bstrSource = source.Release();
  info->bstrDescription = description.Release();
  info->bstrHelpFile = help_file.Release();
  info->dwHelpContext = static_cast<DWORD>(error.help_context);
}

HRESULT STDAPICALLTYPE FillDeferred(EXCEPINFO* info) {
  if (info == nullptr)
    return E_POINTER;
  try {
    FillTexts(t_deferred, info);
    info->pfnDeferredFillIn = nullptr;
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace

HRESULT HresultOf(int32_t number) {
  if (number >= 1 && number <= 0xFFFF) {
    return static_cast<HRESULT>(0x800A0000u | static_cast<uint32_t>(number));
  }
  return static_cast<HRESULT>(number);
}

void SetRichErrorInfo(const wb::ErrRecord& error) noexcept {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.ReleaseAndGetAddressOf())))
    return;
  create->SetGUID(IID_IDispatch);
  try {
    ScopedBstr source(error.source);
    ScopedBstr description(error.description);
    ScopedBstr help_file(error.help_file);
    create->SetSource(source.Get());
    create->SetDescription(description.Get());
    create->SetHelpFile(help_file.Get());
  } catch (const std::bad_alloc&) {
    // Published without its texts: the status still reports the error.
  }
  create->SetHelpContext(static_cast<DWORD>(error.help_context));
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo,
                                       reinterpret_cast<void**>(info.ReleaseAndGetAddressOf())))) {
    SetErrorInfo(0, info.Get());
  }
}

HRESULT ReportInvokeError(const wb::ErrRecord& error, RaiseStyle style, EXCEPINFO* excepinfo) {
  const HRESULT hr = HresultOf(error.number);
  switch (style) {
    case RaiseStyle::kNoSuchMember:
      return DISP_E_MEMBERNOTFOUND;
    case RaiseStyle::kHresult:
      SetErrorInfo(0, nullptr);
      return hr;
    case RaiseStyle::kErrorInfo:
      SetRichErrorInfo(error);
      return hr;
    case RaiseStyle::kDeferred:
      if (excepinfo != nullptr) {
        ZeroMemory(excepinfo, sizeof *excepinfo);
        t_deferred = error;
        excepinfo->scode = hr;
        excepinfo->pfnDeferredFillIn = &FillDeferred;
        return DISP_E_EXCEPTION;
      }
      SetRichErrorInfo(error);
      return hr;
    case RaiseStyle::kExcepInfo:
      break;
  }
  if (excepinfo == nullptr) {
    SetRichErrorInfo(error);
    return hr;
  }
  ZeroMemory(excepinfo, sizeof *excepinfo);
  try {
    FillTexts(error, excepinfo);
  } catch (const std::bad_alloc&) {
    // The scode alone still reports the error.
  }
  excepinfo->scode = hr;
  return DISP_E_EXCEPTION;
}

}  // namespace refsuite::com
