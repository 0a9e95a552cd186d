#include "refsuite/scenario_json.h"

#include <cstdio>
#include <string>
#include <vector>

#include "core/text.h"
#include "refsuite/catalog.h"
#include "refsuite/located_json.h"

namespace refsuite {

namespace {

OrderedJson Typed(const char* type) {
  return OrderedJson{{"type", type}};
}

template <class Number>
OrderedJson Typed(const char* type, Number value) {
  return OrderedJson{{"type", type}, {"value", value}};
}

OrderedJson Plain(const wb::Variant& value) {
  switch (value.kind()) {
    case wb::VarKind::kEmpty:
      return Typed("Empty");
    case wb::VarKind::kNull:
      return nullptr;
    case wb::VarKind::kBoolean:
      return value.integral() != 0;
    case wb::VarKind::kLong:
      return value.integral();
    case wb::VarKind::kInteger:
      return Typed("Integer", value.integral());
    case wb::VarKind::kByte:
      return Typed("Byte", value.integral());
    case wb::VarKind::kSingle:
      return Typed("Single", value.real());
    case wb::VarKind::kDouble:
      return Typed("Double", value.real());
    case wb::VarKind::kDate:
      return Typed("Date", value.real());
    case wb::VarKind::kCurrency:
      return Typed("Currency", static_cast<double>(value.integral()) / 10000.0);
    case wb::VarKind::kString:
      return wb::ToUtf8(value.str());
    case wb::VarKind::kError:
      return value.IsMissing() ? Typed("Missing") : Typed("Error", value.integral());
    case wb::VarKind::kObject:
      // A scenario makes a new object at each use; it never holds one.
      return Typed("Object");
    case wb::VarKind::kUnsupported:
      return Typed("Array");
  }
  return Typed("Empty");
}

std::string ProgIdOf(const wb::String& key) {
  const Component* component = FindComponent(key);
  return component ? component->prog_id : wb::ToUtf8(key);
}

std::string MemberOf(const wb::String& prog_id_key, const wb::String& key) {
  const Component* component = FindComponent(prog_id_key);
  const MemberDef* member = component ? FindMember(*component, key) : nullptr;
  return wb::ToUtf8(member ? wb::String(member->name) : key);
}

const char* StyleName(RaiseStyle style) {
  switch (style) {
    case RaiseStyle::kDeferred:
      return "deferred";
    case RaiseStyle::kErrorInfo:
      return "errorinfo";
    case RaiseStyle::kHresult:
      return "hresult";
    case RaiseStyle::kExcepInfo:
    case RaiseStyle::kNoSuchMember:
      break;
  }
  return nullptr;
}

}  // namespace

OrderedJson ScriptedValueJson(const ScriptedValue& value) {
  // An object's default value may be an object with one of its own: the
  // chain is written from its end, without recursion, and only as deep as a
  // reader takes it back (a level of JSON a link, below the scenario's own).
  constexpr size_t kMaxChain = JsonLimits::kMaxDepth / 2;
  std::vector<const ScriptedValue*> chain{&value};
  while (chain.back()->shape == ScriptedValue::Shape::kObject && chain.back()->default_value) {
    if (chain.size() >= kMaxChain) {
      throw ScenarioError("an object's default value nested more than " +
                          std::to_string(kMaxChain) + " deep");
    }
    chain.push_back(chain.back()->default_value.get());
  }
  OrderedJson out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    switch ((*it)->shape) {
      case ScriptedValue::Shape::kAny:
        out = Typed("Any");
        break;
      case ScriptedValue::Shape::kArray:
        out = Typed("Array");
        break;
      case ScriptedValue::Shape::kObject: {
        OrderedJson object = Typed("Object");
        if ((*it)->default_value)
          object["default"] = std::move(out);
        out = std::move(object);
        break;
      }
      case ScriptedValue::Shape::kPlain:
        out = Plain((*it)->plain);
        break;
    }
  }
  return out;
}

OrderedJson ScriptedErrorJson(const ScriptedError& error) {
  const wb::ErrRecord& r = error.record;
  OrderedJson out;
  if (r.number < 0) {
    // An HRESULT reads best as the hex text the parser also takes.
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(r.number));
    out["number"] = hex;
  } else {
    out["number"] = r.number;
  }
  out["source"] = wb::ToUtf8(r.source);
  out["description"] = wb::ToUtf8(r.description);
  out["helpfile"] = wb::ToUtf8(r.help_file);
  out["helpcontext"] = r.help_context;
  if (const char* style = StyleName(error.style))
    out["style"] = style;
  return out;
}

void AddAnswerJson(const Answer& answer, OrderedJson& out) {
  if (answer.missing)
    out["missing"] = true;
  if (!answer.write_back.empty()) {
    OrderedJson written = OrderedJson::object();
    for (const auto& [position, value] : answer.write_back)
      written[std::to_string(position + 1)] = ScriptedValueJson(value);
    out["writeback"] = std::move(written);
  }
  if (answer.value)
    out["value"] = ScriptedValueJson(*answer.value);
  if (answer.raise)
    out["raise"] = ScriptedErrorJson(*answer.raise);
}

OrderedJson ScenarioJson(const Scenario& scenario) {
  OrderedJson out;
  out["base"] = "none";
  out["language"] = wb::ToUtf8(scenario.language);

  OrderedJson session = OrderedJson::object();
  for (const auto& [name, value] : scenario.session)
    session[wb::ToUtf8(name)] = ScriptedValueJson(value);
  out["session"] = std::move(session);

  OrderedJson rights = OrderedJson::object();
  for (const auto& [func_id, granted] : scenario.rights)
    rights[std::to_string(func_id)] = granted;
  rights["*"] = scenario.other_rights;
  out["rights"] = std::move(rights);

  OrderedJson phrases = OrderedJson::object();
  for (const auto& [language, table] : scenario.phrases) {
    OrderedJson texts = OrderedJson::object();
    for (const auto& [source, translation] : table)
      texts[wb::ToUtf8(source)] = wb::ToUtf8(translation);
    phrases[wb::ToUtf8(language)] = std::move(texts);
  }
  out["phrases"] = std::move(phrases);

  OrderedJson uncreatable = OrderedJson::array();
  for (const auto& [key, error] : scenario.uncreatable) {
    if (error) {
      uncreatable.push_back({{"progid", ProgIdOf(key)}, {"raise", ScriptedErrorJson(*error)}});
    } else {
      uncreatable.push_back(ProgIdOf(key));
    }
  }
  out["uncreatable"] = std::move(uncreatable);

  OrderedJson components = OrderedJson::object();
  for (const auto& [prog_id, members] : scenario.components) {
    OrderedJson scripts = OrderedJson::object();
    for (const auto& [member, script] : members) {
      OrderedJson json = OrderedJson::object();
      AddAnswerJson(script.answer, json);
      if (!script.when.empty()) {
        OrderedJson rules = OrderedJson::array();
        for (const Rule& rule : script.when) {
          OrderedJson item = OrderedJson::object();
          if (rule.args) {
            OrderedJson args = OrderedJson::array();
            for (const ScriptedValue& pattern : *rule.args)
              args.push_back(ScriptedValueJson(pattern));
            item["args"] = std::move(args);
          }
          if (rule.nth)
            item["nth"] = *rule.nth;
          if (rule.nth_overall)
            item["nthOverall"] = *rule.nth_overall;
          AddAnswerJson(rule.answer, item);
          rules.push_back(std::move(item));
        }
        json["when"] = std::move(rules);
      }
      scripts[MemberOf(prog_id, member)] = std::move(json);
    }
    components[ProgIdOf(prog_id)] = std::move(scripts);
  }
  out["components"] = std::move(components);

  if (!scenario.inject.empty()) {
    OrderedJson faults = OrderedJson::array();
    for (const auto& [at, injection] : scenario.inject) {
      OrderedJson item{{"at", at}, {"raise", ScriptedErrorJson(injection.raise)}};
      if (injection.creation_raises)
        item["creation"] = "raise";
      faults.push_back(std::move(item));
    }
    out["inject"] = std::move(faults);
  }
  return out;
}

}  // namespace refsuite
