// The current language of one thread. Assigning "CurrentLanguage" on any
// "Polyglot.LocaleState" sets it for the calling thread, so that two threads
// of one process can work in two languages; reading "CurrentLanguage" answers
// it, or the scenario's language on a thread that has none. Loading or
// resetting the scenario forgets every thread's language.
#pragma once

#include <optional>

#include "core/text.h"
#include "core/variant.h"

namespace refsuite {

// A String sets the calling thread's language, Empty clears it; any other
// value raises 13 (type mismatch).
void AssignThreadLanguage(const wb::Variant& value);

// The calling thread's language under the scenario in force, if it set one.
std::optional<wb::String> ThreadLanguage();

}  // namespace refsuite
