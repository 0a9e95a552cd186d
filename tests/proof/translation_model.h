// What the resource-string translation should give, call by call: the
// expected texts of a run, with the calls whose failure was injected
// returning their text unchanged.
#pragma once

#include <map>
#include <set>

#include "core/text.h"

namespace wb::proof {

using PhraseTable = std::map<String, String>;  // source text -> translation

class TranslationModel {
 public:
  // `language`: the thread's language code; `phrases`: the loader's table for
  // it; `failing`: numbers of the calls (0 for the first) that fail.
  TranslationModel(String language, const PhraseTable& phrases, std::set<int> failing);

  // The next translation call of the run, on `text`.
  String operator()(const String& text);

  // How many translations the run has made so far.
  int calls() const { return calls_; }

 private:
  String Translate(const String& text) const;

  String language_;
  const PhraseTable& phrases_;
  std::set<int> failing_;
  int calls_ = 0;
};

}  // namespace wb::proof
