#include "entry/workbench_object.h"

#include <cguid.h>
#include <oleauto.h>

#include <cstring>

#include "console/console.h"
#include "entry/dispatch.h"
#include "entry/function_id_arg.h"
#include "entry/host_call.h"
#include "entry/members.h"
#include "entry/type_info.h"
#include "win/hresult.h"

namespace wb::entry {

namespace {

// The methods' names, as the field trace records them.
constexpr StringView kShowWorkbenchForm = u"ShowWorkbenchForm";
constexpr StringView kDEVOVIZoruze = u"DEVOVIZoruze";

}  // namespace

// ---- IDispatch --------------------------------------------------------------

HRESULT CWorkbench::GetTypeInfoCount(UINT* count) {
  if (count == nullptr)
    return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT CWorkbench::GetTypeInfo(UINT index, LCID, ITypeInfo** type_info) {
  if (type_info == nullptr)
    return E_POINTER;
  *type_info = nullptr;
  if (index != 0)
    return DISP_E_BADINDEX;
  WB_RETURN_IF_FAILED(LoadTypeInfo());
  return type_info_.CopyTo(type_info);
}

HRESULT CWorkbench::LoadTypeInfo() noexcept {
  return type_info_ ? S_OK : LoadWorkbenchTypeInfo(type_info_);
}

HRESULT CWorkbench::GetIDsOfNames(REFIID riid,
                                  LPOLESTR* names,
                                  UINT name_count,
                                  LCID,
                                  DISPID* dispids) {
  if (!IsEqualIID(riid, IID_NULL))
    return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || dispids == nullptr || name_count == 0)
    return E_INVALIDARG;
  for (UINT i = 0; i < name_count; ++i)
    dispids[i] = DISPID_UNKNOWN;
  // The type library knows the members and their parameters, in any letter
  // case. What it also knows of IDispatch's own methods is not for callers.
  for (UINT i = 0; i < name_count; ++i) {
    if (names[i] == nullptr)
      return DISP_E_UNKNOWNNAME;
  }
  WB_RETURN_IF_FAILED(LoadTypeInfo());
  const HRESULT hr = type_info_->GetIDsOfNames(names, name_count, dispids);
  if (FindMemberById(dispids[0]) == nullptr) {
    for (UINT i = 0; i < name_count; ++i)
      dispids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT CWorkbench::Invoke(DISPID dispid,
                           REFIID riid,
                           LCID,
                           WORD flags,
                           DISPPARAMS* params,
                           VARIANT* result,
                           EXCEPINFO* excep_info,
                           UINT* arg_error) {
  if (!IsEqualIID(riid, IID_NULL))
    return DISP_E_UNKNOWNINTERFACE;
  const Member* member = FindMemberById(dispid);
  // Both members are methods: a property read or assignment finds nothing.
  if (member == nullptr || (flags & DISPATCH_METHOD) == 0)
    return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr || params->cNamedArgs > params->cArgs ||
      (params->cNamedArgs != 0 && params->rgdispidNamedArgs == nullptr) ||
      (params->cArgs != 0 && params->rgvarg == nullptr)) {
    return E_INVALIDARG;
  }
  if (params->cArgs != member->param_count)
    return DISP_E_BADPARAMCOUNT;
  // A named argument (`FDetailFuncID:=id`) carries its parameter's position.
  // With at most one parameter, the argument is rgvarg[0] either way.
  for (UINT i = 0; i < params->cNamedArgs; ++i) {
    const DISPID named = params->rgdispidNamedArgs[i];
    if (named < 0 || static_cast<UINT>(named) >= member->param_count) {
      if (arg_error != nullptr)
        *arg_error = i;
      return DISP_E_PARAMNOTFOUND;
    }
  }
  if (result != nullptr)
    VariantInit(result);
  if (excep_info != nullptr)
    std::memset(excep_info, 0, sizeof(*excep_info));

  if (member->dispid == DISPID_DEVOVIZORUZE) {
    int32_t detail_func_id = 0;
    HRESULT hr = S_OK;
    // Reading an object's id runs the host's code (its default member), which
    // may call in again: the reading is a level of the thread's calls too,
    // counted and refused like one when the stack runs low.
    const ErrRecord refused =
        CaptureHostCall([&] { hr = ReadFunctionId(params->rgvarg[0], &detail_func_id); });
    if (refused.number != 0) {
      const HRESULT reported = ReportErrToHost(refused, IID__CWorkbench, excep_info);
      trace::HostRefused(kDEVOVIZoruze, reported);
      return reported;
    }
    if (FAILED(hr)) {
      trace::HostRefused(kDEVOVIZoruze, hr);
      if (arg_error != nullptr)
        *arg_error = 0;
      return hr;
    }
    return RunForHost({kDEVOVIZoruze, detail_func_id}, excep_info,
                      [=] { entry::DEVOVIZoruze(detail_func_id); });
  }
  return RunForHost({kShowWorkbenchForm, std::nullopt}, excep_info,
                    [] { console::ShowWorkbenchForm(); });
}

// ---- _CWorkbench ------------------------------------------------------------

HRESULT CWorkbench::ShowWorkbenchForm() {
  return RunForHost({kShowWorkbenchForm, std::nullopt}, nullptr,
                    [] { console::ShowWorkbenchForm(); });
}

HRESULT CWorkbench::DEVOVIZoruze(LONG* detail_func_id) {
  if (detail_func_id == nullptr) {
    trace::HostRefused(kDEVOVIZoruze, E_POINTER);
    return E_POINTER;
  }
  // Read once; the caller's variable is never written.
  const auto id = static_cast<int32_t>(*detail_func_id);
  return RunForHost({kDEVOVIZoruze, id}, nullptr, [id] { entry::DEVOVIZoruze(id); });
}

// ---- ISupportErrorInfo ------------------------------------------------------

HRESULT CWorkbench::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID__CWorkbench) ? S_OK : S_FALSE;
}

}  // namespace wb::entry
