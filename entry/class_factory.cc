#include "entry/class_factory.h"

#include "entry/module_state.h"
#include "entry/workbench_object.h"

namespace wb::entry {

WorkbenchFactory& WorkbenchFactory::Instance() noexcept {
  static WorkbenchFactory factory;
  return factory;
}

HRESULT WorkbenchFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr)
    return E_POINTER;
  *object = nullptr;
  if (outer != nullptr)
    return CLASS_E_NOAGGREGATION;
  const Microsoft::WRL::ComPtr<CWorkbench> instance = win::Make<CWorkbench>();
  if (!instance)
    return E_OUTOFMEMORY;
  // The creation reference is dropped once the caller's reference is taken:
  // an interface the class lacks destroys the instance again.
  return instance->QueryInterface(riid, object);
}

HRESULT WorkbenchFactory::LockServer(BOOL lock) {
  if (lock) {
    entry::LockServer();
    return S_OK;
  }
  return UnlockServer() ? S_OK : E_UNEXPECTED;
}

}  // namespace wb::entry
