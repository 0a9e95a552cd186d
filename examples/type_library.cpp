// An early-bound front-end that also reads Workbench's type library at run
// time, with nothing registered: LoadRegTypeLib finds the library through
// the front-end's application manifest alone (the typelib element of
// Workbench.manifest), as a host needs it that lists the members, builds its
// own dispatch from the type info or lets the automation marshaler carry
// the interface to another thread.
//
//   type_library.exe [function id]      (default 1800201)
//
// Prints the library's name and version and the methods of _CWorkbench with
// their slots in the table of methods, from the interface's type info; then
// calls DEVOVIZoruze through that table and prints the same lines as
// early_bound.cpp.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <initguid.h>
#include "Workbench.h"  // LIBID_Workbench, WORKBENCH_TYPELIB_MAJOR/MINOR, _CWorkbench

#include "host_support.h"

using Microsoft::WRL::ComPtr;

namespace {

// The type info's attributes, released by their owner.
template <typename Attr, void (STDMETHODCALLTYPE ITypeInfo::*Release)(Attr*)>
class TypeInfoAttr {
 public:
  TypeInfoAttr(ITypeInfo* info, Attr* attr) : info_(info), attr_(attr) {}
  TypeInfoAttr(const TypeInfoAttr&) = delete;
  TypeInfoAttr& operator=(const TypeInfoAttr&) = delete;
  ~TypeInfoAttr() {
    if (attr_ != nullptr)
      (info_->*Release)(attr_);
  }
  const Attr* operator->() const { return attr_; }

 private:
  ITypeInfo* info_;
  Attr* attr_;
};
using TypeAttr = TypeInfoAttr<TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using FuncDesc = TypeInfoAttr<FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;

// "  <slot>: Name(Param, ...)" for each method the interface itself declares.
HRESULT PrintMethods(ITypeInfo* info) {
  TYPEATTR* raw_type = nullptr;
  HRESULT hr = info->GetTypeAttr(&raw_type);
  if (FAILED(hr))
    return hr;
  const TypeAttr type(info, raw_type);
  for (UINT i = 0; i < type->cFuncs; ++i) {
    FUNCDESC* raw_func = nullptr;
    hr = info->GetFuncDesc(i, &raw_func);
    if (FAILED(hr))
      return hr;
    const FuncDesc func(info, raw_func);
    example::Bstr names[8];
    UINT count = 0;
    hr = info->GetNames(func->memid, &names[0].text, 8, &count);
    if (FAILED(hr))
      return hr;
    std::string line = example::Utf8(names[0].text) + "(";
    for (UINT n = 1; n < count; ++n)
      line += (n > 1 ? ", " : "") + example::Utf8(names[n].text);
    std::printf("  slot %d: %s)\n", static_cast<int>(func->oVft / sizeof(void*)), line.c_str());
  }
  return S_OK;
}

// The library and the methods of _CWorkbench, from the type library that
// the activation context names.
HRESULT PrintTypeLibrary() {
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadRegTypeLib(LIBID_Workbench, WORKBENCH_TYPELIB_MAJOR, WORKBENCH_TYPELIB_MINOR,
                              LOCALE_NEUTRAL, &library);
  if (FAILED(hr)) {
    std::printf("LoadRegTypeLib failed: 0x%08lX\n", static_cast<unsigned long>(hr));
    return hr;
  }
  example::Bstr name;
  TLIBATTR* attr = nullptr;
  hr = library->GetDocumentation(-1, &name.text, nullptr, nullptr, nullptr);
  if (SUCCEEDED(hr))
    hr = library->GetLibAttr(&attr);
  if (FAILED(hr))
    return hr;
  std::printf("type library %s %u.%u\n", example::Utf8(name.text).c_str(), attr->wMajorVerNum,
              attr->wMinorVerNum);
  library->ReleaseTLibAttr(attr);

  // A dual interface has two type infos; the table of methods is the
  // TKIND_INTERFACE one, behind the dispatch one.
  ComPtr<ITypeInfo> dispatch_info, table_info;
  HREFTYPE table = 0;
  hr = library->GetTypeInfoOfGuid(IID__CWorkbench, &dispatch_info);
  if (SUCCEEDED(hr))
    hr = dispatch_info->GetRefTypeOfImplType(-1, &table);
  if (SUCCEEDED(hr))
    hr = dispatch_info->GetRefTypeInfo(table, &table_info);
  if (FAILED(hr)) {
    std::printf("no type info for _CWorkbench: 0x%08lX\n", static_cast<unsigned long>(hr));
    return hr;
  }
  std::printf("_CWorkbench:\n");
  return PrintMethods(table_info.Get());
}

}  // namespace

int main(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  LONG function_id = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1800201;

  example::ComApartment com;
  if (!com.Ready())
    return 1;
  if (FAILED(PrintTypeLibrary()))
    return 1;

  ComPtr<_CWorkbench> workbench;
  HRESULT hr = CoCreateInstance(CLSID_CWorkbench, nullptr, CLSCTX_INPROC_SERVER, IID__CWorkbench,
                                &workbench);
  if (FAILED(hr))
    return example::PrintCannotCreate("CWorkbench", hr);
  SetErrorInfo(0, nullptr);
  hr = workbench->DEVOVIZoruze(&function_id);
  return example::PrintOutcome(function_id, hr, workbench.Get(), IID__CWorkbench);
}
