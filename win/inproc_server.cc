#include "win/inproc_server.h"

#include <atomic>
#include <deque>

#include "win/com_object.h"

namespace wb::win {

namespace {

HMODULE g_module = nullptr;
// Locks are taken on several apartments' threads at once.
std::atomic<long> g_locks{0};

class ClassFactory final : public StaticComObject<IClassFactory> {
 public:
  explicit ClassFactory(const ServerClass& server_class) : class_(server_class) {}

  const ServerClass& served() const noexcept { return class_; }

  // Each CreateInstance makes a new, independent instance.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr)
      return E_POINTER;
    *out = nullptr;
    if (outer != nullptr)
      return CLASS_E_NOAGGREGATION;
    return class_.create(class_, iid, out);
  }

  // An unlock without a lock is refused, so that a client's extra unlock
  // cannot make the DLL look busy for good.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
      return S_OK;
    }
    for (long locks = g_locks.load(); locks > 0;) {
      if (g_locks.compare_exchange_weak(locks, locks - 1))
        return S_OK;
    }
    return E_UNEXPECTED;
  }

 private:
  const ServerClass& class_;
};

// One factory per class, made on first use (a failure to make them is tried
// again on the next call).
std::deque<ClassFactory>& Factories() {
  static std::deque<ClassFactory> factories = [] {
    std::deque<ClassFactory> made;
    for (const ServerClass& server_class : ServedClasses())
      made.emplace_back(server_class);
    return made;
  }();
  return factories;
}

}  // namespace

std::wstring ThisModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(g_module, path.data(), size);
    if (length == 0)
      return std::wstring();
    // A full buffer means the path may have been cut: try again larger.
    if (length < size) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool ModuleInUse() noexcept {
  return LiveModuleObjects() != 0 || g_locks.load() != 0;
}

}  // namespace wb::win

// Kept minimal: no COM call may be made under the loader lock. Thread
// notifications stay on: the statically linked runtime frees each thread's
// thread_local storage when the thread detaches.
//
// That runtime also holds a reference on this module for every thread that
// has such storage, and drops it with FreeLibrary from code inside this module
// as the thread ends. When COM has already let the DLL go (the last apartment
// that used it was uninitialized), that FreeLibrary unloads the module under
// its own feet and the host crashes at thread exit. So the module is pinned
// when it is loaded: it stays until the process ends.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wb::win::g_module = instance;
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
    for (wb::win::ClassFactory& factory : wb::win::Factories()) {
      if (IsEqualCLSID(factory.served().clsid, clsid))
        return factory.QueryInterface(iid, out);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllCanUnloadNow() {
  return wb::win::ModuleInUse() ? S_FALSE : S_OK;
}
