#include "bridge/trace_line.h"

#include <cmath>
#include <utility>

#include "bridge/platform.h"
#include "bridge/trace_file.h"
#include "bridge/traced_object.h"

namespace wb::trace {

namespace {

// `text` cut to the limit (never inside a surrogate pair).
StringView Cut(StringView text) {
  if (text.size() <= kTextLimit)
    return text;
  size_t end = kTextLimit;
  if (text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF)
    --end;
  return text.substr(0, end);
}

// `value`, cut, as `object[key]`; when it is cut, `length_key` (by default
// "<key>_length") follows with its whole length.
void PutText(Json& object, const char* key, StringView value, const char* length_key = nullptr) {
  object[key] = ToUtf8(Cut(value));
  if (value.size() > kTextLimit)
    object[length_key ? std::string(length_key) : key + std::string("_length")] = value.size();
}

Json Number(double value) {
  if (std::isnan(value))
    return "NaN";
  if (std::isinf(value))
    return value > 0 ? "Infinity" : "-Infinity";
  return value;
}

// An empty object with room for `fields` fields: growing it moves them all.
Json ObjectFor(size_t fields) {
  Json object = Json::object();
  object.get_ref<Json::object_t&>().reserve(fields);
  return object;
}

}  // namespace

Json ValueJson(const Variant& value) {
  Json out = ObjectFor(4);
  out["type"] = KindName(value.kind());
  switch (value.kind()) {
    case VarKind::kEmpty:
    case VarKind::kNull:
      out["value"] = nullptr;
      break;
    case VarKind::kBoolean:
      out["value"] = value.integral() != 0;
      break;
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kByte:
    case VarKind::kError:
      out["value"] = value.integral();
      break;
    case VarKind::kCurrency:
      out["value"] = Number(static_cast<double>(value.integral()) / 10000.0);
      break;
    case VarKind::kSingle:
    case VarKind::kDouble:
    case VarKind::kDate:
      out["value"] = Number(value.real());
      break;
    case VarKind::kString:
      PutText(out, "value", value.str(), "length");
      break;
    case VarKind::kObject:
      if (const TracedObject* traced = TracedObject::Of(value.object())) {
        Json named;
        named["progid"] = ToUtf8(traced->prog_id());
        out["value"] = std::move(named);
      } else if (value.object().IsNothing()) {
        out["value"] = nullptr;
      } else {
        out["value"] = "object";
      }
      break;
    case VarKind::kUnsupported:
      out["value"] = value.unsupported_vartype();
      break;
  }
  return out;
}

Json ArgsJson(const Args& args) {
  Json out = Json::array();
  for (const Arg& arg : args) {
    Json value = ValueJson(arg.value());
    value["byref"] = arg.by_ref();
    out.push_back(std::move(value));
  }
  return out;
}

Json ErrorJson(const ErrRecord& error) {
  Json out = ObjectFor(8);
  out["number"] = error.number;
  PutText(out, "source", error.source);
  PutText(out, "description", error.description);
  PutText(out, "helpfile", error.help_file);
  out["helpcontext"] = error.help_context;
  return out;
}

TraceLine::TraceLine(const char* event) : fields_(ObjectFor(10)) {
  fields_["time"] = LocalTimeStamp();
  fields_["pid"] = platform::CurrentProcessId();
  fields_["thread"] = CurrentThreadId();
  fields_["event"] = event;
}

TraceLine& TraceLine::Text(const char* key, StringView value) {
  PutText(fields_, key, value);
  return *this;
}

TraceLine& TraceLine::Field(const char* key, Json value) {
  fields_[key] = std::move(value);
  return *this;
}

std::string TraceLine::Finish() && {
  // The texts are valid UTF-8 already (ToUtf8); replacing, not throwing, is
  // what a line that somehow held other bytes would get.
  return fields_.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace wb::trace
