// The catalogue of the suite's components: every ProgID the system creates
// and the members each one has on a normal store day.
#pragma once

#include <string>
#include <vector>

#include "core/automation_object.h"
#include "core/variant.h"

namespace refsuite {

class Instance;
struct Scenario;

// The default behaviour of a method or computed property.
using Behaviour = wb::Variant (*)(const Instance& self,
                                  const Scenario& scenario,
                                  const wb::Args& args);

// What assigning a computed property does (null: it cannot be assigned).
using Assigner = void (*)(const wb::Variant& value);

struct MemberDef {
  const char16_t* name;
  // A stored property keeps what is assigned and answers it back, starting
  // from `initial` (Empty when null). Otherwise `behaviour` answers.
  Behaviour behaviour;
  const char16_t* initial;
  Assigner assign;
  bool stored() const { return behaviour == nullptr; }
};

struct Component {
  std::string prog_id;
  std::vector<MemberDef> members;
};

const std::vector<Component>& Catalog();
// Case-insensitive, as COM matches ProgIDs; null when not in the catalogue.
const Component* FindComponent(wb::StringView prog_id);
const MemberDef* FindMember(const Component& component, wb::StringView name);

// The ProgID under which answers that are objects are counted and journaled.
inline constexpr char kValueObjectProgId[] = "RefSuite.Value";

}  // namespace refsuite
