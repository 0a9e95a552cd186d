// `ObjectRef`: a counted reference to a component instance.
//
// Every backend (COM dispatch on Windows, the in-process registry on the native
// build, the runtime's own global object) implements `AutomationObject`. The holder
// releases its share when it is destroyed, reset or assigned Nothing, so a
// routine's references go on every path, the error path included.
#pragma once

#include <utility>
#include <vector>

#include "core/text.h"

namespace wb {

class Variant;
class Arg;
using Args = std::vector<Arg>;

// How a member is invoked.
//   kGet:  a property read, or a method whose value is used.
//   kCall: a method whose value is dropped.
//   kLet:  a property assignment; the value is the last argument.
enum class CallKind { kGet, kCall, kLet };

// The name of an object's default member (its value).
inline constexpr StringView kDefaultMember{};

class AutomationObject {
 public:
  virtual void AddRef() noexcept = 0;
  virtual void Release() noexcept = 0;
  // Resolves `name` (case-insensitively) and invokes it. Arguments are in the
  // member's own order; a by-reference argument may be written back. Failures
  // raise through `Err`.
  virtual Variant Invoke(StringView name, CallKind kind, Args& args) = 0;

 protected:
  ~AutomationObject() = default;
};

class ObjectRef {
 public:
  ObjectRef() = default;
  // Takes a share: AddRef on the instance.
  explicit ObjectRef(AutomationObject* impl) noexcept : impl_(impl) {
    if (impl_)
      impl_->AddRef();
  }
  // Adopts a share the caller already holds.
  static ObjectRef Adopt(AutomationObject* impl) noexcept {
    ObjectRef o;
    o.impl_ = impl;
    return o;
  }
  ObjectRef(const ObjectRef& other) noexcept : ObjectRef(other.impl_) {}
  ObjectRef(ObjectRef&& other) noexcept : impl_(std::exchange(other.impl_, nullptr)) {}
  ObjectRef& operator=(ObjectRef other) noexcept {
    std::swap(impl_, other.impl_);
    return *this;
  }
  ~ObjectRef() { Reset(); }

  // Assigning Nothing: releases this holder's share.
  void Reset() noexcept {
    if (AutomationObject* p = std::exchange(impl_, nullptr))
      p->Release();
  }

  bool IsNothing() const noexcept { return impl_ == nullptr; }
  explicit operator bool() const noexcept { return impl_ != nullptr; }
  AutomationObject* get() const noexcept { return impl_; }
  bool operator==(const ObjectRef& other) const noexcept { return impl_ == other.impl_; }

 private:
  AutomationObject* impl_ = nullptr;
};

}  // namespace wb
