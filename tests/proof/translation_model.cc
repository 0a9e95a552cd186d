#include "tests/proof/translation_model.h"

namespace wb::proof {

TranslationModel::TranslationModel(String language,
                                   const PhraseTable& phrases,
                                   std::set<int> failing)
    : language_(std::move(language)), phrases_(phrases), failing_(std::move(failing)) {}

String TranslationModel::operator()(const String& text) {
  const int call = calls_++;
  return failing_.count(call) ? text : Translate(text);
}

// A plain text (the runs translate no compound text): unchanged in the source
// language or when blank; otherwise the loader's text for the trimmed key,
// with the spaces around the key kept, or the marker when all is empty.
String TranslationModel::Translate(const String& text) const {
  const StringView key = TrimSpaces(text);
  if (AsciiUpper(language_) == u"CHS" || key.empty())
    return text;
  const auto it = phrases_.find(String(key));
  const String value = it == phrases_.end() ? String() : it->second;
  const size_t leading = text.find(key);
  const String joined = text.substr(0, leading) + value + text.substr(leading + key.size());
  return joined.empty() ? u"**WaitToBeTranslated**" : joined;
}

}  // namespace wb::proof
