#include "entry/class_factory.h"

#include "entry/module_state.h"
#include "entry/workbench_object.h"

namespace wb::entry {

WorkbenchFactory& WorkbenchFactory::Instance() noexcept {
  static WorkbenchFactory factory;
  return factory;
}

HRESULT WorkbenchFactory::QueryInterface(REFIID riid, void** object) {
  if (object == nullptr)
    return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// The factory is static: counting its references would serve no one.
ULONG WorkbenchFactory::AddRef() {
  return 2;
}
ULONG WorkbenchFactory::Release() {
  return 1;
}

HRESULT WorkbenchFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (object == nullptr)
    return E_POINTER;
  *object = nullptr;
  if (outer != nullptr)
    return CLASS_E_NOAGGREGATION;
  CWorkbench* instance = CWorkbench::Create();
  if (instance == nullptr)
    return E_OUTOFMEMORY;
  // The creation reference is dropped once the caller's reference is taken:
  // an interface the class lacks destroys the instance again.
  const HRESULT hr = instance->QueryInterface(riid, object);
  instance->Release();
  return hr;
}

HRESULT WorkbenchFactory::LockServer(BOOL lock) {
  if (lock) {
    entry::LockServer();
    return S_OK;
  }
  return UnlockServer() ? S_OK : E_UNEXPECTED;
}

}  // namespace wb::entry
