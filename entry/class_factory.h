// The class factory of `CWorkbench`. One static object serves every client:
// its own references do not keep the DLL loaded (only instances and
// LockServer do, which is what DllCanUnloadNow asks).
#pragma once

#include <unknwn.h>
#include <windows.h>

#include "win/com_object.h"

namespace wb::entry {

class WorkbenchFactory final : public win::StaticComObject<IClassFactory> {
 public:
  static WorkbenchFactory& Instance() noexcept;

  // IClassFactory: each CreateInstance makes a new, independent instance;
  // aggregation is refused.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  WorkbenchFactory() = default;
};

}  // namespace wb::entry
