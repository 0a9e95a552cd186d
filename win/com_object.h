// Bases for COM objects, after WRL's RuntimeClass and ATL's CComObjectRootEx.
// A class lists the interfaces it implements once and gets IUnknown from the
// base: QueryInterface (the first interface answers for IUnknown, so every
// IUnknown of an object is the same pointer), AddRef and Release.
//
//   class CWorkbench final
//       : public win::ComObject<win::Chain<_CWorkbench, IDispatch>, ISupportErrorInfo> {...};
//
// An entry is an interface, asked for by its own IID, or `Chain<I, Bases...>`:
// I, asked for by its IID or by those of the interfaces it derives from.
// Two lifetimes:
//
//   ComObject<...>        made with new (Make) and held through its references:
//                         the last Release deletes it. While it lives it is one
//                         of the module's objects, which DllCanUnloadNow asks
//                         about (LiveModuleObjects).
//   StaticComObject<...>  lives as long as the module (a class factory): its
//                         references are not counted and hold nothing.
#pragma once

#include <windows.h>

#include <unknwn.h>
#include <wrl/client.h>

#include <atomic>
#include <utility>

namespace wb::win {

template <class Interface, class... Bases>
struct Chain {};

namespace internal {

template <class Entry>
struct InterfaceEntry {
  using Interface = Entry;
  static bool Answers(REFIID iid) noexcept { return iid == __uuidof(Entry); }
};

template <class I, class... Bases>
struct InterfaceEntry<Chain<I, Bases...>> {
  using Interface = I;
  static bool Answers(REFIID iid) noexcept {
    return iid == __uuidof(I) || ((iid == __uuidof(Bases)) || ...);
  }
};

// The objects of this module (each DLL and each program has its own).
inline std::atomic<long> g_module_objects{0};

template <class First, class... Rest>
class ComInterfaces : public InterfaceEntry<First>::Interface,
                      public InterfaceEntry<Rest>::Interface... {
 public:
  ComInterfaces(const ComInterfaces&) = delete;
  ComInterfaces& operator=(const ComInterfaces&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) final {
    if (out == nullptr)
      return E_POINTER;
    *out = nullptr;
    if (!(Find<First>(iid, out) || (Find<Rest>(iid, out) || ...))) {
      if (iid != __uuidof(IUnknown))
        return E_NOINTERFACE;
      *out = Identity();
    }
    Identity()->AddRef();
    return S_OK;
  }

 protected:
  ComInterfaces() = default;
  ~ComInterfaces() = default;

 private:
  using Primary = typename InterfaceEntry<First>::Interface;

  Primary* Identity() noexcept { return static_cast<Primary*>(this); }

  template <class Entry>
  bool Find(REFIID iid, void** out) noexcept {
    if (!InterfaceEntry<Entry>::Answers(iid))
      return false;
    *out = static_cast<typename InterfaceEntry<Entry>::Interface*>(this);
    return true;
  }
};

}  // namespace internal

// The module's live ComObjects.
inline long LiveModuleObjects() noexcept {
  return internal::g_module_objects.load();
}

template <class... Entries>
class ComObject : public internal::ComInterfaces<Entries...> {
 public:
  ULONG STDMETHODCALLTYPE AddRef() final { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() final {
    const ULONG left = --refs_;
    if (left == 0)
      delete this;
    return left;
  }

 protected:
  ComObject() noexcept { ++internal::g_module_objects; }
  virtual ~ComObject() { --internal::g_module_objects; }

 private:
  std::atomic<ULONG> refs_{0};
};

template <class... Entries>
class StaticComObject : public internal::ComInterfaces<Entries...> {
 public:
  ULONG STDMETHODCALLTYPE AddRef() final { return 2; }
  ULONG STDMETHODCALLTYPE Release() final { return 1; }

 protected:
  StaticComObject() = default;
  ~StaticComObject() = default;
};

// A new object with its first reference; null when it could not be made (no
// memory, or its constructor failed).
template <class T, class... Args>
Microsoft::WRL::ComPtr<T> Make(Args&&... args) noexcept {
  try {
    return Microsoft::WRL::ComPtr<T>(new T(std::forward<Args>(args)...));
  } catch (...) {
    return nullptr;
  }
}

}  // namespace wb::win
