// The interactions of one run as the reference suite journaled them, and the
// translation call that each one belongs to.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace wb::proof {

struct Interaction {
  int seq = 0;
  std::string event;  // create, create-failed, get, call, let
  std::string prog_id;
  std::string member;

  bool IsCreation() const { return event == "create" || event == "create-failed"; }
  // "get Phrasebook.Catalog.LoadString", "create Loyalty.CPlan".
  std::string Describe() const;
};

// The journal's numbered entries, in journal order.
std::vector<Interaction> InteractionsOf(const std::vector<nlohmann::json>& journal);

// Whether the interaction is a step of a translation: the language component
// or the resource-string loader.
bool IsTranslationStep(const Interaction& interaction);

// For each interaction, the number of the translation call it is a step of
// (0 for the run's first translation), or -1 outside translation. The steps
// of one call come in a fixed order: language component, language code,
// loader, resource base (read, assignment), language (read, assignment),
// lookup. A step that does not come after the one before it in that order,
// or that follows an interaction outside translation, starts the next call;
// a call that failed half-way therefore ends where it stopped.
std::vector<int> TranslationCallOf(const std::vector<Interaction>& interactions);

// How many translation calls the run made.
int TranslationCalls(const std::vector<int>& call_of);

}  // namespace wb::proof
