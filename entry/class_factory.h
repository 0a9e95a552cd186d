// The class factory of `CWorkbench`. One static object serves every client:
// its own references do not keep the DLL loaded (only instances and
// LockServer do, which is what DllCanUnloadNow asks).
#pragma once

#include <unknwn.h>
#include <windows.h>

namespace wb::entry {

class WorkbenchFactory final : public IClassFactory {
 public:
  static WorkbenchFactory& Instance() noexcept;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IClassFactory: each CreateInstance makes a new, independent instance;
  // aggregation is refused.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  WorkbenchFactory() = default;
};

}  // namespace wb::entry
