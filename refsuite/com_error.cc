#include "refsuite/com_error.h"

#include "refsuite/com_util.h"

namespace refsuite::com {

namespace {

// The error whose texts a deferred EXCEPINFO fills in: the caller asks on the
// same thread, right after Invoke returns.
thread_local wb::ErrRecord t_deferred;

void FillTexts(const wb::ErrRecord& error, EXCEPINFO* info) {
  info->bstrSource = ScopedBstr(error.source).Release();
  info->bstrDescription = ScopedBstr(error.description).Release();
  info->bstrHelpFile = ScopedBstr(error.help_file).Release();
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

void SetRichErrorInfo(const wb::ErrRecord& error) {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.Receive())))
    return;
  ScopedBstr source(error.source);
  ScopedBstr description(error.description);
  ScopedBstr help_file(error.help_file);
  create->SetGUID(IID_IDispatch);
  create->SetSource(source.get());
  create->SetDescription(description.get());
  create->SetHelpFile(help_file.get());
  create->SetHelpContext(static_cast<DWORD>(error.help_context));
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.ReceiveVoid()))) {
    SetErrorInfo(0, info.get());
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
  FillTexts(error, excepinfo);
  excepinfo->scode = hr;
  return DISP_E_EXCEPTION;
}

}  // namespace refsuite::com
