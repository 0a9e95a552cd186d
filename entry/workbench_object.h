// `CWorkbench`, the public class: a dual `_CWorkbench` with rich error
// information. Its methods run the portable code (the console, the function-id
// dispatch) and report an error that leaves it to the host with all five
// fields: as DISP_E_EXCEPTION plus EXCEPINFO to late-bound callers, as the
// error's status plus IErrorInfo to callers through the table of methods.
#pragma once

#include <oaidl.h>
#include <windows.h>
#include <wrl/client.h>

#include "bridge/thread_state.h"
#include "entry/workbench_idl.h"
#include "win/com_object.h"

namespace wb::entry {

// Made with win::Make<CWorkbench>().
class CWorkbench final
    : public win::ComObject<win::Chain<_CWorkbench, IDispatch>, ISupportErrorInfo> {
 public:
  CWorkbench() = default;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** type_info) override;
  HRESULT STDMETHODCALLTYPE
  GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT name_count, LCID lcid, DISPID* dispids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid,
                                   REFIID riid,
                                   LCID lcid,
                                   WORD flags,
                                   DISPPARAMS* params,
                                   VARIANT* result,
                                   EXCEPINFO* excep_info,
                                   UINT* arg_error) override;

  // _CWorkbench
  HRESULT STDMETHODCALLTYPE ShowWorkbenchForm() override;
  HRESULT STDMETHODCALLTYPE DEVOVIZoruze(LONG* detail_func_id) override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

 private:
  ~CWorkbench() override = default;

  // The type info of `_CWorkbench` into type_info_, once.
  HRESULT LoadTypeInfo() noexcept;

  // Keeps the thread's module state (translation caches and the like) alive
  // while the instance lives, and tears it down with the thread's last one.
  ThreadStateUser thread_state_;
  // Loaded on the first GetTypeInfo or GetIDsOfNames.
  Microsoft::WRL::ComPtr<ITypeInfo> type_info_;
};

}  // namespace wb::entry
