#include "refsuite/scenario.h"

#include <cmath>
#include <initializer_list>
#include <limits>

#include "core/text.h"
#include "refsuite/catalog.h"
#include "refsuite/default_scenario.h"
#include "refsuite/host_io.h"
#include "refsuite/located_json.h"

namespace refsuite {

namespace {

using nlohmann::json;

// The longest text that "repeat" makes.
constexpr int64_t kMaxRepeated = 10'000'000;

// Reads one scenario document into a `Scenario`; every problem is thrown as a
// `ScenarioError` naming the file, the line and the value's place.
class Parser {
 public:
  Parser(const LocatedJson& doc, const std::string& name) : doc_(doc), name_(name) {}

  void Apply(Scenario& out) {
    const json& root = doc_.value();
    if (!root.is_object())
      Fail("", "a scenario is a JSON object");
    CheckKeys(root, "",
              {"base", "language", "session", "rights", "phrases", "uncreatable", "components",
               "inject", "releaseCallsHost"});
    if (root.contains("base")) {
      const std::string base = String(root["base"], "/base");
      if (base == "none") {
        out = Scenario{};
      } else if (base != "default") {
        Fail("/base", "expected \"default\" or \"none\"");
      }
    }
    if (root.contains("language"))
      out.language = Text(root["language"], "/language");
    if (root.contains("session"))
      Session(root["session"], out);
    if (root.contains("rights"))
      Rights(root["rights"], out);
    if (root.contains("phrases"))
      Phrases(root["phrases"], out);
    if (root.contains("uncreatable"))
      Uncreatable(root["uncreatable"], out);
    if (root.contains("components"))
      Components(root["components"], out);
    if (root.contains("inject"))
      Inject(root["inject"], out);
    if (root.contains("releaseCallsHost"))
      ReleaseCallsHost(root["releaseCallsHost"], out);
  }

 private:
  [[noreturn]] void Fail(const std::string& at, const std::string& problem) const {
    throw ScenarioError(name_ + ":" + std::to_string(doc_.LineOf(at)) + ": " +
                        (at.empty() ? "" : at + ": ") + problem);
  }

  void CheckKeys(const json& object,
                 const std::string& at,
                 std::initializer_list<const char*> allowed) const {
    for (const auto& item : object.items()) {
      bool known = false;
      for (const char* key : allowed)
        known = known || item.key() == key;
      if (!known) {
        std::string list;
        for (const char* key : allowed)
          list += list.empty() ? key : std::string(", ") + key;
        Fail(LocatedJson::Child(at, item.key()),
             "unknown key \"" + item.key() + "\" (expected one of: " + list + ")");
      }
    }
  }

  const json& Object(const json& value, const std::string& at) const {
    if (!value.is_object())
      Fail(at, "expected a JSON object");
    return value;
  }
  std::string String(const json& value, const std::string& at) const {
    if (!value.is_string())
      Fail(at, "expected a string");
    return value.get<std::string>();
  }
  wb::String Text(const json& value, const std::string& at) const {
    return wb::FromUtf8(String(value, at));
  }
  bool Bool(const json& value, const std::string& at) const {
    if (!value.is_boolean())
      Fail(at, "expected true or false");
    return value.get<bool>();
  }
  int64_t Integer(const json& value, const std::string& at, int64_t low, int64_t high) const {
    if (!value.is_number_integer())
      Fail(at, "expected an integer");
    if (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(high)) {
      Fail(at, "number out of range");
    }
    const int64_t n = value.get<int64_t>();
    if (n < low || n > high)
      Fail(at, "number out of range");
    return n;
  }
  double Number(const json& value, const std::string& at) const {
    if (!value.is_number())
      Fail(at, "expected a number");
    return value.get<double>();
  }

  void Session(const json& value, Scenario& out) const {
    for (const auto& item : Object(value, "/session").items()) {
      out.session[wb::FromUtf8(item.key())] =
          Value(item.value(), LocatedJson::Child("/session", item.key()), false);
    }
  }

  void Rights(const json& value, Scenario& out) const {
    for (const auto& item : Object(value, "/rights").items()) {
      const std::string at = LocatedJson::Child("/rights", item.key());
      const bool granted = Bool(item.value(), at);
      if (item.key() == "*") {
        out.other_rights = granted;
        continue;
      }
      size_t used = 0;
      long long func_id = 0;
      try {
        func_id = std::stoll(item.key(), &used);
      } catch (...) {
        used = 0;
      }
      if (used == 0 || used != item.key().size() || func_id < std::numeric_limits<int32_t>::min() ||
          func_id > std::numeric_limits<int32_t>::max()) {
        Fail(at, "a right is keyed by its FuncID (an integer) or \"*\"");
      }
      out.rights[static_cast<int32_t>(func_id)] = granted;
    }
  }

  void Phrases(const json& value, Scenario& out) const {
    for (const auto& language : Object(value, "/phrases").items()) {
      const std::string at = LocatedJson::Child("/phrases", language.key());
      auto& table = out.phrases[wb::AsciiUpper(wb::FromUtf8(language.key()))];
      for (const auto& phrase : Object(language.value(), at).items()) {
        table[wb::FromUtf8(phrase.key())] =
            Text(phrase.value(), LocatedJson::Child(at, phrase.key()));
      }
    }
  }

  wb::String ComponentKey(const std::string& prog_id, const std::string& at) const {
    const Component* component = FindComponent(wb::FromUtf8(prog_id));
    if (component == nullptr)
      Fail(at, "\"" + prog_id + "\" is not a component of the suite");
    return wb::AsciiUpper(wb::FromUtf8(component->prog_id));
  }

  void Uncreatable(const json& value, Scenario& out) const {
    if (!value.is_array())
      Fail("/uncreatable", "expected an array of ProgIDs");
    for (size_t i = 0; i < value.size(); ++i) {
      const std::string at = LocatedJson::Child("/uncreatable", i);
      const json& item = value[i];
      if (item.is_string()) {
        out.uncreatable[ComponentKey(item.get<std::string>(), at)] = std::nullopt;
        continue;
      }
      if (!item.is_object())
        Fail(at, "expected a ProgID or {\"progid\": ..., \"raise\": ...}");
      CheckKeys(item, at, {"progid", "raise"});
      if (!item.contains("progid"))
        Fail(at, "\"progid\" is required");
      const wb::String key = ComponentKey(String(item["progid"], at + "/progid"), at + "/progid");
      std::optional<ScriptedError> error;
      if (item.contains("raise"))
        error = Error(item["raise"], at + "/raise");
      out.uncreatable[key] = error;
    }
  }

  void ReleaseCallsHost(const json& value, Scenario& out) const {
    if (!value.is_array())
      Fail("/releaseCallsHost", "expected an array of ProgIDs");
    for (size_t i = 0; i < value.size(); ++i) {
      const std::string at = LocatedJson::Child("/releaseCallsHost", i);
      out.release_calls_host.insert(ComponentKey(String(value[i], at), at));
    }
  }

  void Components(const json& value, Scenario& out) const {
    for (const auto& component : Object(value, "/components").items()) {
      const std::string at = LocatedJson::Child("/components", component.key());
      auto& members = out.components[ComponentKey(component.key(), at)];
      for (const auto& member : Object(component.value(), at).items()) {
        members[wb::AsciiUpper(wb::FromUtf8(member.key()))] =
            Member(member.value(), LocatedJson::Child(at, member.key()));
      }
    }
  }

  // One fault, or an array of faults on different interactions.
  void Inject(const json& value, Scenario& out) const {
    out.inject.clear();
    if (value.is_object()) {
      AddInjection(value, "/inject", out);
      return;
    }
    if (!value.is_array())
      Fail("/inject", "expected {\"at\": ..., \"raise\": ...} or an array of them");
    for (size_t i = 0; i < value.size(); ++i)
      AddInjection(value[i], LocatedJson::Child("/inject", i), out);
  }

  void AddInjection(const json& value, const std::string& at, Scenario& out) const {
    Object(value, at);
    CheckKeys(value, at, {"at", "raise", "creation"});
    if (!value.contains("at"))
      Fail(at, "\"at\" is required");
    if (!value.contains("raise"))
      Fail(at, "\"raise\" is required");
    Injection injection;
    injection.at =
        static_cast<int>(Integer(value["at"], at + "/at", 1, std::numeric_limits<int>::max()));
    injection.raise = Error(value["raise"], at + "/raise");
    if (value.contains("creation")) {
      const std::string creation = String(value["creation"], at + "/creation");
      if (creation == "raise") {
        injection.creation_raises = true;
      } else if (creation != "uncreatable") {
        Fail(at + "/creation", "expected \"uncreatable\" or \"raise\"");
      }
    }
    if (!out.inject.emplace(injection.at, injection).second)
      Fail(at + "/at", "interaction " + std::to_string(injection.at) + " already has a fault");
  }

  MemberScript Member(const json& value, const std::string& at) const {
    Object(value, at);
    CheckKeys(value, at, {"value", "raise", "missing", "writeback", "callHost", "when"});
    MemberScript script;
    script.answer = AnswerOf(value, at);
    if (value.contains("when")) {
      const json& rules = value["when"];
      if (!rules.is_array())
        Fail(at + "/when", "expected an array of rules");
      script.when.reserve(rules.size());
      const std::string when = at + "/when";
      for (size_t i = 0; i < rules.size(); ++i)
        script.when.push_back(RuleOf(rules[i], LocatedJson::Child(when, i)));
    }
    return script;
  }

  Rule RuleOf(const json& value, const std::string& at) const {
    Object(value, at);
    CheckKeys(value, at,
              {"args", "nth", "nthOverall", "value", "raise", "missing", "writeback", "callHost"});
    Rule rule;
    if (value.contains("args")) {
      const json& args = value["args"];
      if (!args.is_array())
        Fail(at + "/args", "expected an array of argument values");
      rule.args.emplace();
      for (size_t i = 0; i < args.size(); ++i) {
        rule.args->push_back(Value(args[i], LocatedJson::Child(at + "/args", i), true));
      }
    }
    const int max = std::numeric_limits<int>::max();
    if (value.contains("nth"))
      rule.nth = static_cast<int>(Integer(value["nth"], at + "/nth", 1, max));
    if (value.contains("nthOverall")) {
      rule.nth_overall = static_cast<int>(Integer(value["nthOverall"], at + "/nthOverall", 1, max));
    }
    rule.answer = AnswerOf(value, at);
    return rule;
  }

  Answer AnswerOf(const json& value, const std::string& at) const {
    Answer answer;
    if (value.contains("missing"))
      answer.missing = Bool(value["missing"], at + "/missing");
    if (value.contains("callHost"))
      answer.call_host = Bool(value["callHost"], at + "/callHost");
    if (value.contains("value"))
      answer.value = Value(value["value"], at + "/value", false);
    if (value.contains("raise"))
      answer.raise = Error(value["raise"], at + "/raise");
    if (value.contains("value") && value.contains("raise")) {
      Fail(at, "an answer has a \"value\" or a \"raise\", not both");
    }
    if (value.contains("writeback")) {
      const std::string wat = at + "/writeback";
      for (const auto& item : Object(value["writeback"], wat).items()) {
        const std::string iat = LocatedJson::Child(wat, item.key());
        size_t used = 0;
        int position = 0;
        try {
          position = std::stoi(item.key(), &used);
        } catch (...) {
          used = 0;
        }
        if (used == 0 || used != item.key().size() || position < 1) {
          Fail(iat, "a write-back is keyed by the argument's position, 1 for the first");
        }
        answer.write_back[static_cast<size_t>(position - 1)] = Value(item.value(), iat, false);
      }
    }
    return answer;
  }

  ScriptedError Error(const json& value, const std::string& at) const {
    Object(value, at);
    CheckKeys(value, at, {"number", "source", "description", "helpfile", "helpcontext", "style"});
    if (!value.contains("number"))
      Fail(at, "\"number\" is required");
    ScriptedError error;
    const json& number = value["number"];
    const std::string nat = at + "/number";
    if (number.is_string()) {
      // An HRESULT written in hex, "0x80004005".
      const std::string text = number.get<std::string>();
      size_t used = 0;
      unsigned long long n = 0;
      try {
        n = std::stoull(text, &used, 16);
      } catch (...) {
        used = 0;
      }
      if (used == 0 || used != text.size() || n > 0xFFFFFFFFull)
        Fail(nat, "expected a number or a hex text such as \"0x80004005\"");
      error.record.number = static_cast<int32_t>(static_cast<uint32_t>(n));
    } else {
      const int64_t n = Integer(number, nat, std::numeric_limits<int32_t>::min(),
                                std::numeric_limits<uint32_t>::max());
      error.record.number = static_cast<int32_t>(static_cast<uint32_t>(n));
    }
    if (error.record.number == 0)
      Fail(nat, "error number 0 cannot be raised");
    if (value.contains("source"))
      error.record.source = Text(value["source"], at + "/source");
    if (value.contains("description")) {
      error.record.description = Text(value["description"], at + "/description");
    }
    if (value.contains("helpfile"))
      error.record.help_file = Text(value["helpfile"], at + "/helpfile");
    if (value.contains("helpcontext")) {
      error.record.help_context = static_cast<int32_t>(
          Integer(value["helpcontext"], at + "/helpcontext", std::numeric_limits<int32_t>::min(),
                  std::numeric_limits<int32_t>::max()));
    }
    if (value.contains("style")) {
      const std::string style = String(value["style"], at + "/style");
      if (style == "excepinfo") {
        error.style = RaiseStyle::kExcepInfo;
      } else if (style == "deferred") {
        error.style = RaiseStyle::kDeferred;
      } else if (style == "errorinfo") {
        error.style = RaiseStyle::kErrorInfo;
      } else if (style == "hresult") {
        error.style = RaiseStyle::kHresult;
      } else {
        Fail(at + "/style", "expected \"excepinfo\", \"deferred\", \"errorinfo\" or \"hresult\"");
      }
    }
    return error;
  }

  ScriptedValue Value(const json& value, const std::string& at, bool pattern) const {
    ScriptedValue scripted;
    switch (value.type()) {
      case json::value_t::null:
        scripted.plain = wb::Variant::Null();
        return scripted;
      case json::value_t::boolean:
        scripted.plain = wb::Variant::Bool(value.get<bool>());
        return scripted;
      case json::value_t::number_integer:
      case json::value_t::number_unsigned: {
        const bool fits =
            value.is_number_unsigned()
                ? value.get<uint64_t>() <= static_cast<uint64_t>(INT32_MAX)
                : value.get<int64_t>() >= INT32_MIN && value.get<int64_t>() <= INT32_MAX;
        scripted.plain = fits ? wb::Variant::Long(static_cast<int32_t>(value.get<int64_t>()))
                              : wb::Variant::Double(value.get<double>());
        return scripted;
      }
      case json::value_t::number_float:
        scripted.plain = wb::Variant::Double(value.get<double>());
        return scripted;
      case json::value_t::string:
        scripted.plain = wb::Variant::Str(wb::FromUtf8(value.get<std::string>()));
        return scripted;
      case json::value_t::object:
        return Typed(value, at, pattern);
      default:
        Fail(at, "expected a value: true/false, a number, a string, null or {\"type\": ...}");
    }
  }

  // {"type": "Integer", "value": 0} and the other typed forms.
  ScriptedValue Typed(const json& value, const std::string& at, bool pattern) const {
    if (!value.contains("type"))
      Fail(at, "a typed value needs \"type\"");
    const std::string type = String(value["type"], at + "/type");
    const std::string vat = at + "/value";
    auto need_value = [&]() -> const json& {
      if (!value.contains("value"))
        Fail(at, "type " + type + " needs \"value\"");
      return value["value"];
    };
    ScriptedValue scripted;
    if (type == "Empty" || type == "Null" || type == "Missing" || type == "Array" ||
        type == "Any") {
      CheckKeys(value, at, {"type"});
      if (type == "Null")
        scripted.plain = wb::Variant::Null();
      if (type == "Missing")
        scripted.plain = wb::Variant::Missing();
      if (type == "Array")
        scripted.shape = ScriptedValue::Shape::kArray;
      if (type == "Any") {
        if (!pattern)
          Fail(at + "/type", "type Any is only for argument patterns");
        scripted.shape = ScriptedValue::Shape::kAny;
      }
    } else if (type == "Object") {
      CheckKeys(value, at, {"type", "default"});
      scripted.shape = ScriptedValue::Shape::kObject;
      if (value.contains("default")) {
        scripted.default_value =
            std::make_shared<ScriptedValue>(Value(value["default"], at + "/default", false));
      }
    } else if (type == "String") {
      CheckKeys(value, at, {"type", "value", "repeat", "count"});
      if (value.contains("repeat")) {
        if (value.contains("value"))
          Fail(at, "a String has \"value\" or \"repeat\", not both");
        const wb::String unit = Text(value["repeat"], at + "/repeat");
        if (!value.contains("count"))
          Fail(at, "\"repeat\" needs \"count\"");
        const auto count =
            static_cast<size_t>(Integer(value["count"], at + "/count", 0, kMaxRepeated));
        if (static_cast<uint64_t>(unit.size()) * count > static_cast<uint64_t>(kMaxRepeated))
          Fail(at,
               "the text repeated is longer than " + std::to_string(kMaxRepeated) + " characters");
        wb::String text;
        text.reserve(unit.size() * count);
        for (size_t i = 0; i < count; ++i)
          text += unit;
        scripted.plain = wb::Variant::Str(std::move(text));
      } else {
        scripted.plain = wb::Variant::Str(Text(need_value(), vat));
      }
    } else {
      CheckKeys(value, at, {"type", "value"});
      if (type == "Integer") {
        scripted.plain = wb::Variant::Integer(
            static_cast<int16_t>(Integer(need_value(), vat, INT16_MIN, INT16_MAX)));
      } else if (type == "Long") {
        scripted.plain = wb::Variant::Long(
            static_cast<int32_t>(Integer(need_value(), vat, INT32_MIN, INT32_MAX)));
      } else if (type == "Byte") {
        scripted.plain =
            wb::Variant::Byte(static_cast<uint8_t>(Integer(need_value(), vat, 0, 255)));
      } else if (type == "Boolean") {
        scripted.plain = wb::Variant::Bool(Bool(need_value(), vat));
      } else if (type == "Single") {
        const std::optional<float> single = SingleOf(Number(need_value(), vat));
        if (!single)
          Fail(vat, "number out of range for a Single");
        scripted.plain = wb::Variant::Single(*single);
      } else if (type == "Double") {
        scripted.plain = wb::Variant::Double(Number(need_value(), vat));
      } else if (type == "Date") {
        scripted.plain = wb::Variant::Date(Number(need_value(), vat));
      } else if (type == "Currency") {
        const std::optional<int64_t> units = CurrencyOf(Number(need_value(), vat));
        if (!units)
          Fail(vat, "number out of range for a Currency");
        scripted.plain = wb::Variant::Currency(*units);
      } else if (type == "Error") {
        scripted.plain = wb::Variant::Error(static_cast<int32_t>(
            static_cast<uint32_t>(Integer(need_value(), vat, INT32_MIN, UINT32_MAX))));
      } else {
        Fail(at + "/type",
             "unknown type \"" + type +
                 "\" (expected Empty, Null, Integer, Long, Byte, Boolean, Single, Double, Date, "
                 "Currency, String, Error, Missing, Object, Array" +
                 (pattern ? ", Any)" : ")"));
      }
    }
    return scripted;
  }

  const LocatedJson& doc_;
  const std::string& name_;
};

}  // namespace

Scenario ParseScenario(std::string_view text, const std::string& name, const Scenario& base) {
  LocatedJson doc;
  try {
    doc = LocatedJson::Parse(text);
  } catch (const JsonSyntaxError& e) {
    throw ScenarioError(name + ":" + std::to_string(e.line) + ": " + e.what());
  }
  Scenario out = base;
  Parser(doc, name).Apply(out);
  return out;
}

std::optional<float> SingleOf(double number) {
  if (std::isfinite(number) && std::fabs(number) > std::numeric_limits<float>::max())
    return std::nullopt;
  return static_cast<float>(number);
}

std::optional<int64_t> CurrencyOf(double number) {
  constexpr double kTwo63 = 9223372036854775808.0;
  const double units = number * 10000.0;
  if (std::isnan(units) || units < -kTwo63 || units > kTwo63)
    return std::nullopt;
  if (units == kTwo63)
    return std::numeric_limits<int64_t>::max();
  return std::llround(units);
}

const Scenario& DefaultScenario() {
  static const Scenario* scenario = [] {
    try {
      return new Scenario(ParseScenario(kDefaultScenarioJson, "<bundled default scenario>", {}));
    } catch (const ScenarioError& e) {
      ReportProblem(e.what());
      return new Scenario;
    }
  }();
  return *scenario;
}

}  // namespace refsuite
