#include "bridge/com_errors.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

#include "core/runtime_errors.h"
#include "win/scoped_bstr.h"
#include "win/scoped_local_alloc.h"

namespace wb {

namespace {

using Microsoft::WRL::ComPtr;
using win::ScopedBstr;

// The five fields of a rich error, as a callee reported them.
struct ReportedError {
  bool has_texts = false;  // the callee gave a Source or a Description
  String source;
  String description;
  String help_file;
  int32_t help_context = 0;
};

// Reads (and thereby clears) the thread's IErrorInfo.
ReportedError TakeErrorInfo() {
  ReportedError out;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.ReleaseAndGetAddressOf()) != S_OK || !info)
    return out;
  ScopedBstr source, description, help_file;
  DWORD help_context = 0;
  info->GetSource(source.Receive());
  info->GetDescription(description.Receive());
  info->GetHelpFile(help_file.Receive());
  info->GetHelpContext(&help_context);
  out.has_texts = source.Get() != nullptr || description.Get() != nullptr;
  out.source = source.Text();
  out.description = description.Text();
  out.help_file = help_file.Text();
  out.help_context = static_cast<int32_t>(help_context);
  return out;
}

// Fills the record and raises. A field the callee left empty gets the
// runtime's value only when the callee gave no texts at all: a component that
// raises with its own Source and an empty Description keeps that empty text.
[[noreturn]] void RaiseWith(int32_t number, ReportedError reported) {
  if (!reported.has_texts) {
    Err::Raise(number, String(rt::kRuntimeSource), DescribeErrNumber(number),
               std::move(reported.help_file), reported.help_context);
  }
  Err::Raise(number, reported.source.empty() ? String(rt::kRuntimeSource) : reported.source,
             std::move(reported.description), std::move(reported.help_file), reported.help_context);
}

// The system's message text for an HRESULT, without its trailing line break.
// The buffer is owned from the start: copying it out may throw.
String SystemMessage(HRESULT hr) {
  win::ScopedLocalAllocTyped<wchar_t> buffer;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(buffer.Receive()), 0, nullptr);
  if (length == 0 || !buffer)
    return String();
  String text(reinterpret_cast<const char16_t*>(buffer.Get()), length);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

int32_t ErrNumberFromHResult(HRESULT hr) {
  const auto code = static_cast<uint32_t>(hr);
  if ((code & 0xFFFF0000u) == 0x800A0000u && (code & 0xFFFFu) != 0) {
    return static_cast<int32_t>(code & 0xFFFFu);
  }
  switch (hr) {
    case DISP_E_TYPEMISMATCH:
      return rt::kTypeMismatch;
    case DISP_E_BADPARAMCOUNT:
      return rt::kWrongArgumentCount;
    case DISP_E_PARAMNOTOPTIONAL:
      return rt::kArgumentNotOptional;
    case DISP_E_OVERFLOW:
      return rt::kOverflow;
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
      return rt::kNoSuchMember;
    case E_OUTOFMEMORY:
      return rt::kOutOfMemory;
    case DISP_E_BADVARTYPE:
      return rt::kBadVarType;
    case E_NOINTERFACE:
      return rt::kNoInterface;
    default:
      return static_cast<int32_t>(hr);
  }
}

String DescribeErrNumber(int32_t number) {
  if (number < 0) {
    String text = SystemMessage(static_cast<HRESULT>(number));
    return text.empty() ? rt::Describe(rt::kAutomationError) : text;
  }
  return rt::Describe(number);
}

void RaiseFromHResult(HRESULT hr) {
  // A success code here would be a caller's mistake; still report a failure.
  RaiseWith(FAILED(hr) ? ErrNumberFromHResult(hr) : rt::kAutomationError, TakeErrorInfo());
}

void RaiseRuntimeHResult(HRESULT hr) {
  RaiseWith(ErrNumberFromHResult(hr), ReportedError());
}

void RaiseFromInvoke(HRESULT hr, win::ScopedExcepInfo& excep) {
  if (hr != DISP_E_EXCEPTION)
    RaiseFromHResult(hr);
  EXCEPINFO& info = *excep.AsInput();
  if (info.pfnDeferredFillIn != nullptr) {
    info.pfnDeferredFillIn(&info);
    info.pfnDeferredFillIn = nullptr;
  }
  ReportedError reported = TakeErrorInfo();
  if (info.bstrSource != nullptr || info.bstrDescription != nullptr) {
    reported.has_texts = true;
    reported.source = ScopedBstr::TextOf(info.bstrSource);
    reported.description = ScopedBstr::TextOf(info.bstrDescription);
    reported.help_file = ScopedBstr::TextOf(info.bstrHelpFile);
    reported.help_context = static_cast<int32_t>(info.dwHelpContext);
  }
  int32_t number = rt::kAutomationError;
  if (info.wCode != 0) {
    number = info.wCode;
  } else if (FAILED(info.scode)) {
    number = ErrNumberFromHResult(info.scode);
  }
  RaiseWith(number, std::move(reported));
}

void RaiseCannotCreate(HRESULT hr) {
  // Lack of memory is no fault of the registration: the host is told so.
  RaiseWith(hr == E_OUTOFMEMORY ? rt::kOutOfMemory : rt::kCannotCreateObject, TakeErrorInfo());
}

HRESULT HResultFromErr(const ErrRecord& err) noexcept {
  if (err.number >= 1 && err.number <= 0xFFFF) {
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, err.number);
  }
  if (err.number < 0)
    return static_cast<HRESULT>(err.number);
  return E_FAIL;
}

void FillExcepInfo(const ErrRecord& err, EXCEPINFO* excep) noexcept {
  if (excep == nullptr)
    return;
  *excep = EXCEPINFO{};
  excep->scode = HResultFromErr(err);
  excep->dwHelpContext = static_cast<DWORD>(err.help_context);
  try {
    ScopedBstr source(err.source), description(err.description), help_file(err.help_file);
    excep->bstrSource = source.Release();
    excep->bstrDescription = description.Release();
    excep->bstrHelpFile = help_file.Release();
  } catch (...) {
    // Out of memory: the scode alone still reports the failure.
  }
}

void PublishErrorInfo(const ErrRecord& err, REFIID iid) noexcept {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.ReleaseAndGetAddressOf())))
    return;
  // The setters copy the texts; they need NUL-terminated strings.
  auto text = [](const String& s) {
    return const_cast<LPOLESTR>(reinterpret_cast<const OLECHAR*>(s.c_str()));
  };
  create->SetGUID(iid);
  create->SetSource(text(err.source));
  create->SetDescription(text(err.description));
  create->SetHelpFile(text(err.help_file));
  create->SetHelpContext(static_cast<DWORD>(err.help_context));
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.As(&info)) && info)
    SetErrorInfo(0, info.Get());
}

HRESULT ReportErrToHost(const ErrRecord& err, REFIID iid, EXCEPINFO* excep) noexcept {
  PublishErrorInfo(err, iid);
  if (excep == nullptr)
    return HResultFromErr(err);
  FillExcepInfo(err, excep);
  return DISP_E_EXCEPTION;
}

}  // namespace wb
