#include "bridge/bridge.h"

#include <atomic>

#include "bridge/convert.h"
#include "core/err.h"
#include "core/runtime_errors.h"
#include "trace/trace.h"

namespace wb {

namespace {

std::atomic<ComponentFactory*> g_factory{nullptr};

AutomationObject& Target(const ObjectRef& object) {
  if (object.IsNothing())
    Err::RaiseRuntime(rt::kObjectNotSet);
  return *object.get();
}

ObjectRef CreateUntraced(StringView prog_id) {
  ComponentFactory* factory = g_factory.load();
  ObjectRef object = (factory ? *factory : DefaultComponentFactory()).Create(prog_id);
  if (object.IsNothing())
    Err::RaiseRuntime(rt::kCannotCreateObject);
  return object;
}

}  // namespace

ComponentFactory* SetComponentFactory(ComponentFactory* factory) {
  return g_factory.exchange(factory);
}

ObjectRef CreateObject(StringView prog_id) {
  if (!trace::Enabled())
    return CreateUntraced(prog_id);
  try {
    return trace::Created(prog_id, CreateUntraced(prog_id));
  } catch (const RaisedError&) {
    trace::CreateFailed(prog_id, Err::Get());
    throw;
  }
}

Variant GetMember(const ObjectRef& object, StringView name, Args args) {
  return Target(object).Invoke(name, CallKind::kGet, args);
}

void CallMember(const ObjectRef& object, StringView name, Args args) {
  Target(object).Invoke(name, CallKind::kCall, args);
}

void LetMember(const ObjectRef& object, StringView name, Variant value) {
  Args args;
  args.push_back(Arg::Val(std::move(value)));
  Target(object).Invoke(name, CallKind::kLet, args);
}

Variant GetObjectOrValue(const ObjectRef& object, StringView name, Args args) {
  const bool is_object = GetMember(object, name, args).IsObject();
  Variant value = GetMember(object, name, args);
  if (is_object) {
    // `Set v = ...` of something that is no longer an object.
    if (!value.IsObject())
      Err::RaiseRuntime(rt::kObjectRequired);
    return value;
  }
  return ValueOf(value);
}

}  // namespace wb
