#include "trace/trace_line.h"

#include <cmath>
#include <utility>

#include "core/platform.h"
#include "trace/trace_file.h"
#include "trace/traced_object.h"

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

Json Number(double value) {
  if (std::isnan(value))
    return "NaN";
  if (std::isinf(value))
    return value > 0 ? "Infinity" : "-Infinity";
  return value;
}

}  // namespace

void JsonText::Key(const char* key) {
  if (!empty_)
    text_ += ',';
  empty_ = false;
  // Keys are this file's own ASCII names.
  text_ += '"';
  text_ += key;
  text_ += "\":";
}

JsonText& JsonText::Add(const char* key, const Json& leaf) {
  Key(key);
  // The texts are valid UTF-8 already (ToUtf8); replacing, not throwing, is
  // what a text that somehow held other bytes would get.
  text_ += leaf.dump(-1, ' ', false, Json::error_handler_t::replace);
  return *this;
}

JsonText& JsonText::Add(const char* key, const JsonText& nested) {
  Key(key);
  text_ += nested.text_;
  text_ += nested.close_;
  return *this;
}

JsonText& JsonText::AddText(const char* key, StringView value, const char* length_key) {
  Add(key, ToUtf8(Cut(value)));
  if (value.size() > kTextLimit) {
    if (length_key != nullptr)
      Add(length_key, value.size());
    else
      Add((key + std::string("_length")).c_str(), value.size());
  }
  return *this;
}

JsonText& JsonText::Push(const JsonText& nested) {
  if (!empty_)
    text_ += ',';
  empty_ = false;
  text_ += nested.text_;
  text_ += nested.close_;
  return *this;
}

std::string JsonText::Close() && {
  text_ += close_;
  return std::move(text_);
}

JsonText ValueJson(const Variant& value) {
  JsonText out = JsonText::Object();
  out.Add("type", KindName(value.kind()));
  switch (value.kind()) {
    case VarKind::kEmpty:
    case VarKind::kNull:
      out.Add("value", nullptr);
      break;
    case VarKind::kBoolean:
      out.Add("value", value.integral() != 0);
      break;
    case VarKind::kInteger:
    case VarKind::kLong:
    case VarKind::kByte:
    case VarKind::kError:
      out.Add("value", value.integral());
      break;
    case VarKind::kCurrency:
      out.Add("value", Number(static_cast<double>(value.integral()) / 10000.0));
      break;
    case VarKind::kSingle:
    case VarKind::kDouble:
    case VarKind::kDate:
      out.Add("value", Number(value.real()));
      break;
    case VarKind::kString:
      out.AddText("value", value.str(), "length");
      break;
    case VarKind::kObject:
      if (const TracedObject* traced = TracedObject::Of(value.object())) {
        out.Add("value", JsonText::Object().Add("progid", ToUtf8(traced->prog_id())));
      } else if (value.object().IsNothing()) {
        out.Add("value", nullptr);
      } else {
        out.Add("value", "object");
      }
      break;
    case VarKind::kUnsupported:
      out.Add("value", value.unsupported_vartype());
      break;
  }
  return out;
}

JsonText ArgsJson(const Args& args) {
  JsonText out = JsonText::Array();
  for (const Arg& arg : args)
    out.Push(ValueJson(arg.value()).Add("byref", arg.by_ref()));
  return out;
}

JsonText ErrorJson(const ErrRecord& error) {
  JsonText out = JsonText::Object();
  out.Add("number", error.number);
  out.AddText("source", error.source);
  out.AddText("description", error.description);
  out.AddText("helpfile", error.help_file);
  out.Add("helpcontext", error.help_context);
  return out;
}

TraceLine::TraceLine(const char* event) {
  fields_.Add("time", LocalTimeStamp());
  fields_.Add("pid", platform::CurrentProcessId());
  fields_.Add("thread", CurrentThreadId());
  fields_.Add("event", event);
}

}  // namespace wb::trace
