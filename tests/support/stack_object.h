// `StackObject<>`: a test's fake component that lives in its owner's scope.
// It counts its references so that the test sees each one given back, and
// deletes nothing.
#pragma once

#include "core/automation_object.h"

namespace wb {

template <class Interface = AutomationObject>
class StackObject : public Interface {
 public:
  StackObject() = default;
  StackObject(const StackObject&) = delete;
  StackObject& operator=(const StackObject&) = delete;

  void AddRef() noexcept final { ++refs_; }
  void Release() noexcept final { --refs_; }

  // References taken and not given back yet.
  int refs() const noexcept { return refs_; }

 protected:
  ~StackObject() = default;

 private:
  int refs_ = 0;
};

}  // namespace wb
