#include "tools/replay/trace_event.h"

#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

namespace replay {

namespace {

struct Shape {
  const char* name;
  EventKind kind;
  std::vector<const char*> required;
  std::vector<const char*> optional;
};

const Shape kShapes[] = {
    {"host-enter", EventKind::kHostEnter, {"method"}, {"id"}},
    {"host-leave", EventKind::kHostLeave, {"method", "outcome"}, {"id", "error"}},
    {"host-refused", EventKind::kHostRefused, {"method", "hresult"}, {}},
    {"create", EventKind::kCreate, {"progid"}, {}},
    {"create-failed", EventKind::kCreateFailed, {"progid", "error"}, {}},
    {"get", EventKind::kGet, {"progid", "member", "args"}, {"written", "result", "error"}},
    {"call", EventKind::kCall, {"progid", "member", "args"}, {"written", "result", "error"}},
    {"let", EventKind::kLet, {"progid", "member", "args"}, {"written", "result", "error"}},
    {"release", EventKind::kRelease, {"progid"}, {}},
    {"notice", EventKind::kNotice, {"title", "text", "style", "icon"}, {}},
};

// The texts that are cut at 256 characters, with "<key>_length" beside them.
constexpr const char* kTexts[] = {"method", "progid", "member",      "title",   "text",
                                  "icon",   "source", "description", "helpfile"};

bool IsCutText(const std::string& key) {
  for (const char* text : kTexts) {
    if (key.size() == std::strlen(text) + 7 && key.starts_with(text) && key.ends_with("_length"))
      return true;
  }
  return false;
}

template <class Names>
bool Among(const std::string& key, const Names& names) {
  for (const char* name : names) {
    if (key == name)
      return true;
  }
  return false;
}

// Thrown while a line is checked; becomes its problem.
struct BadLine {
  std::string problem;
};

class Checker {
 public:
  Checker(const std::string& event, std::vector<std::string>& unknown)
      : event_(event), unknown_(unknown) {}

  // Takes out the keys of `object` that are neither `known` nor cut-text
  // lengths, naming each under `where`.
  void DropUnknown(Json& object,
                   const std::string& where,
                   std::initializer_list<const char*> known) {
    for (auto it = object.begin(); it != object.end();) {
      if (Among(it.key(), known) || IsCutText(it.key())) {
        ++it;
        continue;
      }
      unknown_.push_back(event_ + where + "." + it.key());
      it = object.erase(it);
    }
  }

  static void Need(bool ok, const std::string& at, const char* what) {
    if (!ok)
      throw BadLine{(at.empty() ? "" : at + ": ") + "expected " + what};
  }

  static void Lengths(const Json& object, const std::string& at) {
    for (const auto& item : object.items()) {
      if (IsCutText(item.key()))
        Need(item.value().is_number_unsigned(), at + "/" + item.key(), "a length");
    }
  }

  // {"type": ..., "value": ...} as trace/trace_line.h writes it; `extra` is
  // "byref" for an argument, "position" for a write-back.
  void Value(Json& value, const std::string& at, const std::string& where, const char* extra) {
    Need(value.is_object(), at, "a value {\"type\", \"value\"}");
    DropUnknown(value, where, {"type", "value", "length", extra ? extra : "type"});
    Need(value.contains("type") && value["type"].is_string(), at + "/type", "a text");
    Need(value.contains("value"), at, "\"value\"");
    if (extra) {
      Need(value.contains(extra), at, extra);
      if (std::strcmp(extra, "byref") == 0)
        Need(value[extra].is_boolean(), at + "/byref", "true or false");
      else
        Need(value[extra].is_number_unsigned() && value[extra].get<uint64_t>() >= 1,
             at + "/" + extra, "a position from 1");
    }
    if (value.contains("length"))
      Need(value["length"].is_number_unsigned(), at + "/length", "a length");
    const std::string type = value["type"];
    const Json& v = value["value"];
    const std::string vat = at + "/value";
    const bool special = v.is_string() && (v == "NaN" || v == "Infinity" || v == "-Infinity");
    if (type == "Empty" || type == "Null") {
      Need(v.is_null(), vat, "null");
    } else if (type == "Boolean") {
      Need(v.is_boolean(), vat, "true or false");
    } else if (type == "Integer" || type == "Long" || type == "Byte" || type == "Error" ||
               type == "Unsupported") {
      Need(v.is_number_integer(), vat, "an integer");
    } else if (type == "Single" || type == "Double" || type == "Date" || type == "Currency") {
      Need(v.is_number() || special, vat, "a number");
    } else if (type == "String") {
      Need(v.is_string(), vat, "a text");
    } else if (type == "Object") {
      Need(v.is_null() || v == "object" ||
               (v.is_object() && v.contains("progid") && v["progid"].is_string()),
           vat, "null, \"object\" or {\"progid\"}");
    }
    // Another type is a newer trace's: the converter names it.
  }

  void Values(Json& array, const std::string& at, const std::string& where, const char* extra) {
    Need(array.is_array(), at, "an array");
    for (size_t i = 0; i < array.size(); ++i)
      Value(array[i], at + "/" + std::to_string(i), where, extra);
  }

  void Error(Json& error, const std::string& at, const std::string& where) {
    Need(error.is_object(), at, "an error {\"number\", \"source\", ...}");
    DropUnknown(error, where, {"number", "source", "description", "helpfile", "helpcontext"});
    Need(error.contains("number") && error["number"].is_number_integer(), at + "/number",
         "an integer");
    for (const char* text : {"source", "description", "helpfile"})
      Need(error.contains(text) && error[text].is_string(), at + "/" + text, "a text");
    Need(error.contains("helpcontext") && error["helpcontext"].is_number_integer(),
         at + "/helpcontext", "an integer");
    Lengths(error, at);
  }

 private:
  const std::string& event_;
  std::vector<std::string>& unknown_;
};

void Check(const Shape& shape, Json& fields, Checker& check) {
  for (const char* key : shape.required) {
    if (!fields.contains(key))
      throw BadLine{std::string("no \"") + key + "\""};
  }
  for (const char* key : kTexts) {
    if (fields.contains(key))
      Checker::Need(fields[key].is_string(), std::string("/") + key, "a text");
  }
  Checker::Lengths(fields, "");
  if (fields.contains("id")) {
    const Json& id = fields["id"];
    Checker::Need(id.is_number_integer() &&
                      id.get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
                      id.get<int64_t>() <= std::numeric_limits<int32_t>::max(),
                  "/id", "a Long");
  }
  if (fields.contains("outcome")) {
    const Json& outcome = fields["outcome"];
    Checker::Need(outcome == "ok" || outcome == "error", "/outcome", "\"ok\" or \"error\"");
    Checker::Need((outcome == "error") == fields.contains("error"), "/error",
                  "an error exactly when the outcome is \"error\"");
  }
  if (fields.contains("hresult"))
    Checker::Need(fields["hresult"].is_string(), "/hresult", "a text");
  if (fields.contains("style"))
    Checker::Need(fields["style"].is_number_integer(), "/style", "an integer");
  if (fields.contains("args"))
    check.Values(fields["args"], "/args", ".args", "byref");
  if (fields.contains("written"))
    check.Values(fields["written"], "/written", ".written", "position");
  if (fields.contains("result"))
    check.Value(fields["result"], "/result", ".result", nullptr);
  if (fields.contains("error"))
    check.Error(fields["error"], "/error", ".error");
  if (shape.kind == EventKind::kGet || shape.kind == EventKind::kCall ||
      shape.kind == EventKind::kLet) {
    if (fields.contains("result") == fields.contains("error"))
      throw BadLine{"a member call has a \"result\" or an \"error\""};
  }
}

}  // namespace

std::string Event::Text(const char* key) const {
  const auto it = fields.find(key);
  return it != fields.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string Event::HostCallName() const {
  std::string name = Text("method") + "(";
  if (fields.contains("id"))
    name += std::to_string(fields["id"].get<int64_t>());
  return name + ")";
}

std::string Event::MemberName() const {
  return Text("progid") + "." + Text("member");
}

ReadLine ReadEvent(std::string_view text, uint64_t number) {
  ReadLine out;
  Json fields = Json::parse(text, nullptr, false);
  if (fields.is_discarded()) {
    out.problem = "not JSON";
    return out;
  }
  try {
    Checker::Need(fields.is_object(), "", "a JSON object");
    Checker::Need(fields.contains("event") && fields["event"].is_string(), "/event", "a text");
    Checker::Need(fields.contains("time") && fields["time"].is_string(), "/time", "a text");
    Checker::Need(fields.contains("pid") && fields["pid"].is_number_integer(), "/pid",
                  "an integer");
    Checker::Need(fields.contains("thread") && fields["thread"].is_number_integer(), "/thread",
                  "an integer");
    const std::string name = fields["event"];
    const Shape* shape = nullptr;
    for (const Shape& candidate : kShapes) {
      if (name == candidate.name)
        shape = &candidate;
    }
    if (shape == nullptr) {
      out.unknown_event = name;
      return out;
    }
    Checker check(name, out.unknown_fields);
    const std::initializer_list<const char*> common = {"time", "pid", "thread", "event"};
    for (auto it = fields.begin(); it != fields.end();) {
      if (Among(it.key(), common) || Among(it.key(), shape->required) ||
          Among(it.key(), shape->optional) || IsCutText(it.key())) {
        ++it;
        continue;
      }
      out.unknown_fields.push_back(name + "." + it.key());
      it = fields.erase(it);
    }
    Check(*shape, fields, check);
    Event event;
    event.line = number;
    event.kind = shape->kind;
    event.time = fields["time"];
    event.pid = fields["pid"];
    event.thread = fields["thread"];
    event.fields = std::move(fields);
    out.event = std::move(event);
  } catch (const BadLine& bad) {
    out.problem = bad.problem;
    out.unknown_fields.clear();
  }
  return out;
}

}  // namespace replay
