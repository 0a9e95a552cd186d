#include "tools/replay/trace_event.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <utility>
#include <vector>

#include "refsuite/located_json.h"
#include "refsuite/scenario.h"
#include "tools/replay/shown.h"

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

// Whether `value`, an integer, lies in [low, high], read without wrapping.
bool InRange(const Json& value, int64_t low, int64_t high) {
  if (value.is_number_unsigned())
    return high >= 0 && value.get<uint64_t>() <= static_cast<uint64_t>(high);
  return value.is_number_integer() && value.get<int64_t>() >= low && value.get<int64_t>() <= high;
}

class Checker {
 public:
  Checker(const std::string& event, std::vector<std::string>& unknown, std::string& unreplayable)
      : event_(event), unknown_(unknown), unreplayable_(unreplayable) {}

  // A value that the line may hold, but that the replay cannot give back as
  // it was: the first one is named, and the line's call is not replayed.
  void Range(bool ok, const std::string& at, const Json& value, const std::string& what) {
    if (!ok && unreplayable_.empty())
      unreplayable_ = at + " is " + Shown(value.dump(), 40) + ", " + what;
  }

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
      const auto [low, high] = type == "Integer" ? std::pair<int64_t, int64_t>(-32768, 32767)
                               : type == "Byte"  ? std::pair<int64_t, int64_t>(0, 255)
                               : type == "Unsupported"
                                   ? std::pair<int64_t, int64_t>(0, 65535)
                                   : std::pair<int64_t, int64_t>(INT32_MIN, INT32_MAX);
      Range(InRange(v, low, high), vat, v,
            "out of the range of " + (type == "Unsupported" ? std::string("a VARTYPE") : type) +
                " (" + std::to_string(low) + " to " + std::to_string(high) + ")");
    } else if (type == "Single" || type == "Double" || type == "Date" || type == "Currency") {
      Need(v.is_number() || special, vat, "a number");
      if (v.is_number()) {
        const double number = v.get<double>();
        const bool ok = std::isfinite(number) &&
                        (type == "Single"     ? refsuite::SingleOf(number).has_value()
                         : type == "Currency" ? refsuite::CurrencyOf(number).has_value()
                                              : true);
        Range(ok, vat, v, "out of the range of " + type);
      }
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
    for (const char* number : {"number", "helpcontext"}) {
      Range(InRange(error[number], INT32_MIN, INT32_MAX), at + "/" + number, error[number],
            "out of the range of a Long (an error's numbers are)");
    }
  }

 private:
  const std::string& event_;
  std::vector<std::string>& unknown_;
  std::string& unreplayable_;
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
  if (fields.contains("id"))
    Checker::Need(InRange(fields["id"], INT32_MIN, INT32_MAX), "/id", "a Long");
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
  if (fields.contains("written")) {
    check.Values(fields["written"], "/written", ".written", "position");
    const size_t args = fields.contains("args") ? fields["args"].size() : 0;
    for (size_t i = 0; i < fields["written"].size(); ++i) {
      const Json& position = fields["written"][i]["position"];
      check.Range(position.get<uint64_t>() <= args, "/written/" + std::to_string(i) + "/position",
                  position, "beyond the call's " + std::to_string(args) + " arguments");
    }
  }
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
  std::string name = Shown(Text("method"), 64) + "(";
  if (fields.contains("id"))
    name += std::to_string(fields["id"].get<int64_t>());
  return name + ")";
}

std::string Event::MemberName() const {
  return Shown(Text("progid"), 64) + "." + Shown(Text("member"), 64);
}

ReadLine ReadEvent(std::string_view text, uint64_t number) {
  ReadLine out;
  refsuite::JsonLimits limits;
  limits.max_key = kMaxFieldName;
  limits.max_values = kMaxLineValues;
  Json fields;
  size_t values = 0;
  try {
    fields = refsuite::ParseJson(text, limits, &values);
  } catch (const refsuite::JsonLimitError& e) {
    out.problem_kind = e.kind;
    out.problem = std::string_view(e.kind) == "duplicate"
                      ? "the field \"" + Shown(e.subject, kMaxFieldName) + "\" twice"
                  : std::string_view(e.kind) == "key"
                      ? "a field name of " + std::to_string(e.size) + " bytes, longer than " +
                            std::to_string(kMaxFieldName) + ": \"" +
                            Shown(e.subject.substr(0, 24)) + "...\""
                      : e.what();
    return out;
  } catch (const refsuite::JsonSyntaxError&) {
    out.problem = "not JSON";
    return out;
  }
  try {
    Checker::Need(fields.is_object(), "", "a JSON object");
    Checker::Need(fields.contains("event") && fields["event"].is_string(), "/event", "a text");
    Checker::Need(fields.contains("time") && fields["time"].is_string(), "/time", "a text");
    Checker::Need(fields.contains("pid") && InRange(fields["pid"], 0, UINT32_MAX), "/pid",
                  "a process id (0 to 4294967295)");
    Checker::Need(fields.contains("thread") && InRange(fields["thread"], 0, INT64_MAX), "/thread",
                  "a thread id (0 to 9223372036854775807)");
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
    std::string unreplayable;
    Checker check(name, out.unknown_fields, unreplayable);
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
    // A value of the tree takes a node or two and its text.
    event.size = text.size();
    event.cost = text.size() + 160 * static_cast<uint64_t>(values);
    event.unreplayable = std::move(unreplayable);
    out.event = std::move(event);
  } catch (const BadLine& bad) {
    out.problem = bad.problem;
    out.unknown_fields.clear();
  }
  return out;
}

}  // namespace replay
