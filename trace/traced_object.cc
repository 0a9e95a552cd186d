#include "trace/traced_object.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/err.h"
#include "core/variant.h"
#include "trace/trace.h"
#include "trace/trace_line.h"

namespace wb::trace {

namespace {

using internal::Emit;
using internal::Trace;

const char* EventName(CallKind kind) {
  switch (kind) {
    case CallKind::kGet:
      return "get";
    case CallKind::kCall:
      return "call";
    case CallKind::kLet:
      return "let";
  }
  return "call";
}

}  // namespace

TracedObject::TracedObject(String prog_id, ObjectRef inner)
    : prog_id_(std::move(prog_id)), inner_(std::move(inner)) {}

TracedObject::~TracedObject() {
  Trace([&] { Emit(std::move(TraceLine("release").Text("progid", prog_id_))); });
}

const TracedObject* TracedObject::Of(const ObjectRef& object) noexcept {
  return dynamic_cast<const TracedObject*>(object.get());
}

const ObjectRef& TracedObject::Unwrap(const ObjectRef& object) noexcept {
  const TracedObject* traced = Of(object);
  return traced ? traced->inner() : object;
}

Variant TracedObject::Invoke(StringView name, CallKind kind, Args& args) {
  // The arguments as they go out, other components named by their ProgIDs.
  std::optional<JsonText> args_json;
  std::vector<Variant> before;
  Trace([&] {
    before.reserve(args.size());
    for (const Arg& arg : args)
      before.push_back(arg.value());
    args_json = ArgsJson(args);
  });
  const auto emit = [&](const Variant* result, const ErrRecord* error) noexcept {
    // No memory to record the arguments: the line is lost.
    if (!args_json)
      return;
    Trace([&] {
      TraceLine line(EventName(kind));
      line.Text("progid", prog_id_).Text("member", name).Field("args", *args_json);
      JsonText written = JsonText::Array();
      for (size_t i = 0; i < args.size() && i < before.size(); ++i) {
        if (!args[i].by_ref() || args[i].value() == before[i])
          continue;
        written.Push(ValueJson(args[i].value()).Add("position", i + 1));
      }
      if (!written.empty())
        line.Field("written", written);
      if (result)
        line.Field("result", ValueJson(*result));
      if (error)
        line.Field("error", ErrorJson(*error));
      Emit(std::move(line));
    });
  };

  // The component gets the objects that it knows, not their wrappers.
  // Room for every argument first, so that no argument is left unwrapped
  // when memory runs out halfway.
  std::vector<std::pair<size_t, ObjectRef>> unwrapped;
  unwrapped.reserve(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    Variant& value = args[i].value();
    if (!value.IsObject())
      continue;
    if (const TracedObject* traced = Of(value.object())) {
      unwrapped.emplace_back(i, value.object());
      value = Variant::Object(traced->inner());
    }
  }
  const auto rewrap = [&]() noexcept {
    for (auto& [i, wrapper] : unwrapped) {
      Variant& value = args[i].value();
      if (value.IsObject() && value.object() == Of(wrapper)->inner())
        value = Variant::Object(std::move(wrapper));
    }
  };

  Variant result;
  try {
    result = inner_.get()->Invoke(name, kind, args);
  } catch (const RaisedError&) {
    rewrap();
    emit(nullptr, &Err::Get());
    throw;
  }
  rewrap();
  emit(&result, nullptr);
  return result;
}

}  // namespace wb::trace
