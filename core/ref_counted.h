// Reference counting for the portable objects, after Chromium's
// base::RefCounted. A class derives from one of these, over `AutomationObject`
// or an interface derived from it, and implements `Invoke` alone:
//
//   class ToolObject final : public RefCounted<ToolObject> {...};
//   class NativeObject final : public RefCountedThreadSafe<NativeObject, InstanceHolder> {...};
//
//   RefCounted<T>            made with new and used on one thread; the last
//                            Release deletes it as a T (a private destructor
//                            makes the base its friend)
//   RefCountedThreadSafe<T>  the same, its references taken and let go on any
//                            thread
#pragma once

#include <atomic>

#include "core/automation_object.h"

namespace wb {

template <class T, class Interface = AutomationObject>
class RefCounted : public Interface {
 public:
  RefCounted(const RefCounted&) = delete;
  RefCounted& operator=(const RefCounted&) = delete;

  void AddRef() noexcept final { ++refs_; }
  void Release() noexcept final {
    if (--refs_ == 0)
      delete static_cast<T*>(this);
  }

 protected:
  RefCounted() = default;
  ~RefCounted() = default;

 private:
  int refs_ = 0;
};

template <class T, class Interface = AutomationObject>
class RefCountedThreadSafe : public Interface {
 public:
  RefCountedThreadSafe(const RefCountedThreadSafe&) = delete;
  RefCountedThreadSafe& operator=(const RefCountedThreadSafe&) = delete;

  void AddRef() noexcept final { refs_.fetch_add(1, std::memory_order_relaxed); }
  void Release() noexcept final {
    if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1)
      delete static_cast<T*>(this);
  }

 protected:
  RefCountedThreadSafe() = default;
  ~RefCountedThreadSafe() = default;

 private:
  std::atomic<long> refs_{0};
};

}  // namespace wb
