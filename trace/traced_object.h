// The field trace's wrapper of a component created by ProgID while the trace
// is on: each member call and the release of the last reference are written,
// then passed on. The component is handed the objects that it knows, never
// their wrappers (also once the trace is off); a caller's variable gets its
// wrapper back afterwards.
#pragma once

#include "core/automation_object.h"
#include "core/ref_counted.h"
#include "core/text.h"

namespace wb::trace {

class TracedObject final : public RefCountedThreadSafe<TracedObject> {
 public:
  TracedObject(String prog_id, ObjectRef inner);

  // The wrapper behind `object`, or null for any other object.
  static const TracedObject* Of(const ObjectRef& object) noexcept;
  // The component that `object` stands for: the wrapped one, or `object`.
  // Whoever hands a component to another (a backend passing an argument)
  // hands this, whether or not the trace is still on.
  static const ObjectRef& Unwrap(const ObjectRef& object) noexcept;

  const String& prog_id() const noexcept { return prog_id_; }
  const ObjectRef& inner() const noexcept { return inner_; }

  Variant Invoke(StringView name, CallKind kind, Args& args) override;

 private:
  friend class RefCountedThreadSafe<TracedObject>;
  // The last reference is gone: written before the component is let go.
  ~TracedObject();

  String prog_id_;
  ObjectRef inner_;
};

}  // namespace wb::trace
