#include "bridge/runtime_global.h"

#include "bridge/convert.h"
#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/platform.h"
#include "core/ref_counted.h"
#include "core/runtime_errors.h"
#include "core/variant.h"

namespace wb {

namespace {

void ExpectArgs(const Args& args, size_t count) {
  if (args.size() != count)
    Err::RaiseRuntime(rt::kWrongArgumentCount);
}

// Objects of the runtime live on one thread: a plain count suffices.
class ScreenObject final : public RefCounted<ScreenObject> {
 public:
  Variant Invoke(StringView name, CallKind kind, Args& args) override {
    if (!EqualsIgnoreAsciiCase(name, u"MousePointer"))
      Err::RaiseRuntime(rt::kNoSuchMember);
    if (kind == CallKind::kLet) {
      ExpectArgs(args, 1);
      platform::SetMousePointer(ToInteger(args[0].value()));
      return Variant();
    }
    ExpectArgs(args, 0);
    return Variant::Integer(platform::MousePointer());
  }
};

class GlobalObject final : public RefCounted<GlobalObject> {
 public:
  Variant Invoke(StringView name, CallKind kind, Args& args) override {
    if (EqualsIgnoreAsciiCase(name, u"Screen") && kind != CallKind::kLet) {
      ExpectArgs(args, 0);
      if (screen_.IsNothing())
        screen_ = ObjectRef(new ScreenObject);
      return Variant::Object(screen_);
    }
    if (EqualsIgnoreAsciiCase(name, u"Unload") && kind != CallKind::kLet) {
      ExpectArgs(args, 1);
      const Variant& target = args[0].value();
      if (!target.IsObject())
        Err::RaiseRuntime(rt::kObjectRequired);
      if (target.object().IsNothing())
        Err::RaiseRuntime(rt::kObjectNotSet);
      auto* form = dynamic_cast<Form*>(target.object().get());
      if (form == nullptr)
        Err::RaiseRuntime(rt::kTypeMismatch);
      form->Unload();
      return Variant();
    }
    Err::RaiseRuntime(rt::kNoSuchMember);
  }

 private:
  ObjectRef screen_;
};

struct RuntimeState {
  ObjectRef global;
};

}  // namespace

ObjectRef RuntimeGlobal() {
  RuntimeState& state = PerThread<RuntimeState>();
  if (state.global.IsNothing())
    state.global = ObjectRef(new GlobalObject);
  return state.global;
}

}  // namespace wb
