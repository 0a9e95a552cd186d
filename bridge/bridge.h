// The one way every module reaches a component: create it by ProgID, read,
// call and assign its members by name. Failures raise through `Err` with the
// component's own Number, Source and Description.
#pragma once

#include "core/automation_object.h"
#include "core/variant.h"

namespace wb {

// Creates components by ProgID. The COM backend (Windows) and the in-process
// registry (native build) implement it; one is installed per process.
class ComponentFactory {
 public:
  virtual ~ComponentFactory() = default;
  // A new instance; raises (429 or the component's own error) when the ProgID
  // cannot be created.
  virtual ObjectRef Create(StringView prog_id) = 0;
};

// The platform's own factory: COM (CLSIDFromProgID + CoCreateInstance) on
// Windows, the in-process registry on the native build.
ComponentFactory& DefaultComponentFactory();

// Installs another factory for the process (tests); nullptr restores the
// default. Returns the previous one. Not owned.
ComponentFactory* SetComponentFactory(ComponentFactory* factory);

ObjectRef CreateObject(StringView prog_id);

// A property read, or a method call whose value is used.
Variant GetMember(const ObjectRef& object, StringView name, Args args = {});
// A method call whose value is dropped.
void CallMember(const ObjectRef& object, StringView name, Args args = {});
// A property assignment.
void LetMember(const ObjectRef& object, StringView name, Variant value);

// The object-or-value read: the member is invoked once to learn whether its
// value is an object and a second time to fetch it, as a reference when it is
// one and as a plain value (an object's default value) otherwise.
Variant GetObjectOrValue(const ObjectRef& object, StringView name, Args args = {});

}  // namespace wb
