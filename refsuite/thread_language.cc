#include "refsuite/thread_language.h"

#include <cstdint>

#include "core/err.h"
#include "core/runtime_errors.h"
#include "refsuite/suite.h"

namespace refsuite {

namespace {

// Plain data: nothing to release when the thread ends. The generation ties
// the language to the scenario it was set under.
struct AssignedLanguage {
  uint64_t generation = 0;
  bool set = false;
  wb::String language;
};

AssignedLanguage& Assigned() {
  thread_local AssignedLanguage assigned;
  return assigned;
}

}  // namespace

void AssignThreadLanguage(const wb::Variant& value) {
  if (!value.IsString() && !value.IsEmpty())
    wb::Err::RaiseRuntime(wb::rt::kTypeMismatch);
  AssignedLanguage& assigned = Assigned();
  assigned.generation = Suite::Get().generation();
  assigned.set = value.IsString();
  assigned.language = value.IsString() ? value.str() : wb::String();
}

std::optional<wb::String> ThreadLanguage() {
  const AssignedLanguage& assigned = Assigned();
  if (!assigned.set || assigned.generation != Suite::Get().generation())
    return std::nullopt;
  return assigned.language;
}

}  // namespace refsuite
