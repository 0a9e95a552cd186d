#include "tests/proof/interactions.h"

#include <algorithm>

#include "core/text.h"

namespace wb::proof {

namespace {

constexpr char kLocaleState[] = "Polyglot.LocaleState";
constexpr char kPhrasebook[] = "Phrasebook.Catalog";

std::string Upper(const std::string& text) {
  return ToUtf8(AsciiUpper(FromUtf8(text)));
}

// The place of a translation step in the order of one call.
int StepRank(const Interaction& i) {
  const std::string member = Upper(i.member);
  if (i.prog_id == kLocaleState)
    return i.IsCreation() ? 0 : 1;
  if (i.IsCreation())
    return 2;
  if (member == "RESFILEBASENAME")
    return i.event == "let" ? 4 : 3;
  if (member == "LANGUAGEID")
    return i.event == "let" ? 6 : 5;
  return 7;  // LoadString
}

}  // namespace

std::string Interaction::Describe() const {
  return event + " " + prog_id + (member.empty() && IsCreation() ? "" : "." + member);
}

std::vector<Interaction> InteractionsOf(const std::vector<nlohmann::json>& journal) {
  std::vector<Interaction> out;
  for (const auto& entry : journal) {
    if (!entry.contains("seq"))
      continue;
    out.push_back({entry.at("seq").get<int>(), entry.at("event").get<std::string>(),
                   entry.at("progid").get<std::string>(), entry.value("member", std::string())});
  }
  return out;
}

bool IsTranslationStep(const Interaction& interaction) {
  return interaction.prog_id == kLocaleState || interaction.prog_id == kPhrasebook;
}

std::vector<int> TranslationCallOf(const std::vector<Interaction>& interactions) {
  std::vector<int> call_of;
  int call = -1;
  int last_rank = -1;  // -1: the interaction before was no translation step
  for (const Interaction& i : interactions) {
    if (!IsTranslationStep(i)) {
      call_of.push_back(-1);
      last_rank = -1;
      continue;
    }
    const int rank = StepRank(i);
    if (last_rank < 0 || rank <= last_rank)
      ++call;
    last_rank = rank;
    call_of.push_back(call);
  }
  return call_of;
}

int TranslationCalls(const std::vector<int>& call_of) {
  int most = -1;
  for (int call : call_of)
    most = std::max(most, call);
  return most + 1;
}

}  // namespace wb::proof
