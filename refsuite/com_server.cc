// The in-process server's entry points: DllMain, the class factory,
// DllGetClassObject and DllCanUnloadNow. No exception leaves any of them.
#include <windows.h>  // first: the other Windows headers need it

#include <oleauto.h>
#include <wrl/client.h>

#include "core/err.h"
#include "core/text.h"
#include "refsuite/com_classes.h"
#include "refsuite/server_errors.h"
#include "refsuite/com_object.h"
#include "refsuite/instance.h"
#include "refsuite/suite.h"
#include "win/com_object.h"

namespace refsuite::com {

namespace {

using Microsoft::WRL::ComPtr;

HMODULE g_module = nullptr;
LONG g_locks = 0;
LONG g_bound = 0;

// Binds the suite's core to COM objects, once, outside the loader lock.
void BindSuite() {
  if (InterlockedCompareExchange(&g_bound, 1, 0) != 0)
    return;
  Suite::Get().journal().KeepInMemory(false);
  Suite::Get().SetObjectMaker(&MakeDispatchObject);
}

// Made by each DllGetClassObject; one of the module's objects while a client
// holds it.
class ClassFactory final : public wb::win::ComObject<IClassFactory> {
 public:
  explicit ClassFactory(const ComClass& c) : class_(c) {}

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr)
      return E_POINTER;
    *out = nullptr;
    if (outer != nullptr)
      return CLASS_E_NOAGGREGATION;
    try {
      wb::ObjectRef object = Suite::Get().Create(wb::FromUtf8(class_.prog_id));
      const ComPtr<IUnknown> unknown = UnknownOf(object);
      if (!unknown)
        return E_UNEXPECTED;
      return unknown->QueryInterface(iid, out);
    } catch (...) {
      wb::Err::CaptureCurrentException();
      SetRichErrorInfo(wb::Err::Get());
      return HresultOf(wb::Err::Number());
    }
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      InterlockedIncrement(&g_locks);
    } else {
      InterlockedDecrement(&g_locks);
    }
    return S_OK;
  }

 private:
  ~ClassFactory() override = default;
  const ComClass& class_;
};

}  // namespace

HMODULE ThisModule() {
  return g_module;
}

}  // namespace refsuite::com

using refsuite::com::ClassFactory;

// The statically linked C++ runtime holds a reference on this module for
// every thread with thread_local storage and drops it from inside the module
// as the thread ends; once COM has let the DLL go, that unloads the module
// under its own feet. Pinned on load, it stays until the process ends.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    refsuite::com::g_module = instance;
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(instance), &pinned);
  }
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
  if (out == nullptr)
    return E_POINTER;
  *out = nullptr;
  try {
    const refsuite::com::ComClass* c = refsuite::com::FindClass(clsid);
    if (c == nullptr)
      return CLASS_E_CLASSNOTAVAILABLE;
    refsuite::com::BindSuite();
    const Microsoft::WRL::ComPtr<ClassFactory> factory = wb::win::Make<ClassFactory>(*c);
    return factory ? factory->QueryInterface(iid, out) : E_OUTOFMEMORY;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllCanUnloadNow() {
  using namespace refsuite::com;
  const bool busy =
      wb::win::LiveModuleObjects() != 0 || InterlockedCompareExchange(&g_locks, 0, 0) != 0;
  return busy ? S_FALSE : S_OK;
}
