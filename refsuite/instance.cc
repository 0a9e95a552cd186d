#include "refsuite/instance.h"

#include "core/err.h"
#include "core/runtime_errors.h"
#include "core/text.h"
#include "refsuite/host_hook.h"
#include "refsuite/raise_style.h"
#include "refsuite/suite.h"
#include "refsuite/values.h"

namespace refsuite {

namespace {

const char* EventName(wb::CallKind kind) {
  switch (kind) {
    case wb::CallKind::kGet:
      return "get";
    case wb::CallKind::kCall:
      return "call";
    case wb::CallKind::kLet:
      return "let";
  }
  return "get";
}

[[noreturn]] void RaiseNoSuchMember() {
  SetRaiseStyle(RaiseStyle::kNoSuchMember);
  wb::Err::RaiseRuntime(wb::rt::kNoSuchMember);
}

bool RuleMatches(const Rule& rule, const wb::Args& args, int nth, int nth_overall) {
  if (rule.nth && *rule.nth != nth)
    return false;
  if (rule.nth_overall && *rule.nth_overall != nth_overall)
    return false;
  if (rule.args) {
    if (rule.args->size() > args.size())
      return false;
    for (size_t i = 0; i < rule.args->size(); ++i) {
      if (!Matches((*rule.args)[i], args[i].value()))
        return false;
    }
  }
  return true;
}

}  // namespace

Instance::Instance(const Component& component, int id, int seq)
    : component_(&component), prog_id_(component.prog_id), id_(id) {
  const int live = Suite::Get().AddLive(prog_id_, 1);
  Suite::Get().journal().Write(
      {{"event", "create"}, {"progid", prog_id_}, {"instance", id_}, {"seq", seq}, {"live", live}});
}

Instance::Instance(std::shared_ptr<const ScriptedValue> default_value, int id)
    : component_(nullptr),
      default_value_(std::move(default_value)),
      prog_id_(kValueObjectProgId),
      id_(id) {
  const int live = Suite::Get().AddLive(prog_id_, 1);
  Suite::Get().journal().Write(
      {{"event", "create"}, {"progid", prog_id_}, {"instance", id_}, {"live", live}});
}

Instance::~Instance() {
  // A component that pumps messages while it is released runs the host's code.
  try {
    const std::shared_ptr<const Scenario> scenario = Suite::Get().scenario();
    if (component_ != nullptr && scenario &&
        scenario->release_calls_host.count(wb::AsciiUpper(wb::FromUtf8(prog_id_))) != 0) {
      CallHostHook();
    }
  } catch (...) {
    // Out of memory looking it up: released without the host.
  }
  const int live = Suite::Get().AddLive(prog_id_, -1);
  try {
    Suite::Get().journal().Write(
        {{"event", "release"}, {"progid", prog_id_}, {"instance", id_}, {"live", live}});
  } catch (...) {
    // Out of memory while building the entry: the release itself is done.
  }
}

const MemberScript* Instance::ScriptOf(const Scenario& scenario, const wb::String& key) const {
  if (component_ == nullptr)
    return nullptr;
  auto component = scenario.components.find(wb::AsciiUpper(wb::FromUtf8(prog_id_)));
  if (component == scenario.components.end())
    return nullptr;
  auto member = component->second.find(key);
  return member == component->second.end() ? nullptr : &member->second;
}

bool Instance::HasMember(wb::StringView name) const {
  const wb::String key = wb::AsciiUpper(name);
  if (component_ == nullptr)
    return key.empty() && default_value_ != nullptr;
  std::shared_ptr<const Scenario> scenario = Suite::Get().scenario();
  const MemberScript* script = scenario ? ScriptOf(*scenario, key) : nullptr;
  if (script && script->answer.missing)
    return false;
  return script != nullptr || FindMember(*component_, key) != nullptr;
}

wb::Variant Instance::Property(wb::StringView name) const {
  auto it = properties_.find(wb::AsciiUpper(name));
  return it == properties_.end() ? wb::Variant() : it->second;
}

wb::Variant Instance::Invoke(wb::StringView name, wb::CallKind kind, wb::Args& args) {
  SetRaiseStyle(RaiseStyle::kExcepInfo);
  const int seq = Suite::Get().NextInteraction();
  const std::optional<Injection> fault = Suite::Get().InjectionAt(seq);
  nlohmann::json entry = {
      {"event", EventName(kind)},   {"progid", prog_id_}, {"instance", id_},
      {"member", wb::ToUtf8(name)}, {"seq", seq},         {"args", nlohmann::json::array()}};
  if (fault)
    entry["injected"] = true;
  std::vector<wb::Variant> before;
  before.reserve(args.size());
  for (const wb::Arg& arg : args) {
    nlohmann::json item = ValueToJson(arg.value());
    item["byref"] = arg.by_ref();
    entry["args"].push_back(std::move(item));
    before.push_back(arg.value());
  }
  auto note_written = [&] {
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i].by_ref() && !(args[i].value() == before[i])) {
        nlohmann::json item = ValueToJson(args[i].value());
        item["position"] = i + 1;
        entry["written"].push_back(std::move(item));
      }
    }
  };
  try {
    wb::Variant result = Perform(name, kind, args, fault);
    note_written();
    entry["result"] = ValueToJson(result);
    Suite::Get().journal().Write(std::move(entry));
    return result;
  } catch (const wb::RaisedError&) {
    note_written();
    entry["error"] = ErrorToJson(wb::Err::Get());
    Suite::Get().journal().Write(std::move(entry));
    throw;
  }
}

wb::Variant Instance::Perform(wb::StringView name,
                              wb::CallKind kind,
                              wb::Args& args,
                              const std::optional<Injection>& fault) {
  const wb::String key = wb::AsciiUpper(name);
  const int nth = ++calls_[key];
  const int nth_overall = Suite::Get().CountCall(prog_id_, key);
  if (fault) {
    // Still a call of the member: its ordinals count it.
    SetRaiseStyle(fault->raise.style);
    const wb::ErrRecord& r = fault->raise.record;
    wb::Err::Raise(r.number, r.source, r.description, r.help_file, r.help_context);
  }
  std::shared_ptr<const Scenario> scenario = Suite::Get().scenario();
  if (!scenario)
    Suite::Get().RaiseProblem();

  const MemberScript* script = ScriptOf(*scenario, key);
  const Answer* answer = nullptr;
  if (script) {
    for (const Rule& rule : script->when) {
      if (RuleMatches(rule, args, nth, nth_overall)) {
        answer = &rule.answer;
        break;
      }
    }
    if (answer == nullptr)
      answer = &script->answer;
  }
  if (answer) {
    if (answer->missing)
      RaiseNoSuchMember();
    if (answer->call_host)
      CallHostHook();
    for (const auto& [position, scripted] : answer->write_back) {
      if (position < args.size() && args[position].by_ref()) {
        args[position].value() = Suite::Get().Materialize(scripted);
      }
    }
    if (answer->raise) {
      SetRaiseStyle(answer->raise->style);
      const wb::ErrRecord& r = answer->raise->record;
      wb::Err::Raise(r.number, r.source, r.description, r.help_file, r.help_context);
    }
  }

  const MemberDef* member = component_ ? FindMember(*component_, key) : nullptr;
  if (kind == wb::CallKind::kLet) {
    if (member && member->assign) {
      member->assign(args.empty() ? wb::Variant() : args.back().value());
      return {};
    }
    // A stored property, or a member the scenario adds, keeps the value.
    if (member ? !member->stored() : script == nullptr)
      RaiseNoSuchMember();
    properties_[key] = args.empty() ? wb::Variant() : args.back().value();
    return {};
  }
  if (answer && answer->value)
    return Suite::Get().Materialize(*answer->value);

  if (component_ == nullptr) {
    if (!key.empty() || !default_value_)
      RaiseNoSuchMember();
    return Suite::Get().Materialize(*default_value_);
  }
  if (member && !member->stored())
    return member->behaviour(*this, *scenario, args);
  if (member || script) {
    if (auto it = properties_.find(key); it != properties_.end())
      return it->second;
    return member && member->initial ? wb::Variant::Str(member->initial) : wb::Variant();
  }
  RaiseNoSuchMember();
}

const Instance* SuiteInstanceOf(const wb::ObjectRef& object) {
  auto* holder = dynamic_cast<InstanceHolder*>(object.get());
  return holder ? &holder->instance() : nullptr;
}

}  // namespace refsuite
