// `Instance`: one live component of the suite (or one object that a component
// answered with), and the behaviour of its members under the scenario. Both
// bindings wrap it; it is used on one thread (apartment) at a time.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/automation_object.h"
#include "core/variant.h"
#include "refsuite/catalog.h"
#include "refsuite/scenario.h"

namespace refsuite {

class Instance {
 public:
  // A component of the catalogue, made by interaction `seq` (journaled); the
  // suite counts it live until destroyed.
  Instance(const Component& component, int id, int seq);
  // An object answered as a value: its default member answers
  // `default_value`, or it has none when that is null.
  Instance(std::shared_ptr<const ScriptedValue> default_value, int id);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  const std::string& prog_id() const { return prog_id_; }
  int id() const { return id_; }

  // Whether `name` (any letter case; empty: the default member) can be
  // invoked at all. A member that the scenario marks missing cannot.
  bool HasMember(wb::StringView name) const;

  // Invokes `name` as the caller spelled it; raises through `wb::Err`.
  // Every call is journaled with its arguments and outcome.
  wb::Variant Invoke(wb::StringView name, wb::CallKind kind, wb::Args& args);

  // A stored property's current value (Empty when never assigned).
  wb::Variant Property(wb::StringView name) const;

 private:
  // `fault`: the error injected on this call, raised once the call is counted.
  wb::Variant Perform(wb::StringView name,
                      wb::CallKind kind,
                      wb::Args& args,
                      const std::optional<Injection>& fault);
  const MemberScript* ScriptOf(const Scenario& scenario, const wb::String& key) const;

  const Component* component_;  // null for an answered object
  std::shared_ptr<const ScriptedValue> default_value_;
  std::string prog_id_;
  int id_;
  std::map<wb::String, wb::Variant> properties_;  // by upper-case name
  std::map<wb::String, int> calls_;               // by upper-case name
};

// A binding's wrapper of an `Instance`, as it sits inside a `wb::Variant`.
// The journal and the argument patterns recognise suite objects through it.
class InstanceHolder : public wb::AutomationObject {
 public:
  virtual Instance& instance() = 0;

 protected:
  ~InstanceHolder() = default;
};

// The suite instance behind `object`, or null for a foreign object or Nothing.
const Instance* SuiteInstanceOf(const wb::ObjectRef& object);

}  // namespace refsuite
