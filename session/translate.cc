// Translation of message texts through the suite's resource-string loader.
#include "bridge/bridge.h"
#include "bridge/convert.h"
#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/trap.h"
#include "session/mmts.h"

namespace wb::mmts {

namespace {

constexpr char16_t kResourceBase[] = u"Q5COM";
constexpr char16_t kSourceLanguage[] = u"CHS";
constexpr StringView kSeparator = u"^|^";
constexpr StringView kTranslatePrefix = u"~$~";
constexpr char16_t kUntranslated[] = u"**WaitToBeTranslated**";
constexpr StringView kCrLf = u"\r\n";

// The module's per-thread cache: filled on first use, never refreshed.
struct TranslationCache {
  String gLanguageId;
  ObjectRef gPhrasebook;
  ObjectRef gLocaleState;
};

TranslationCache& Cache() {
  return PerThread<TranslationCache>();
}

// Points the loader at the resource set and language; assigns only what
// differs.
void ConfigureLoader(const ObjectRef& loader, const String& language) {
  if (DiffersFromText(GetMember(loader, u"ResFileBaseName"), kResourceBase)) {
    LetMember(loader, u"ResFileBaseName", Variant::Str(kResourceBase));
  }
  if (DiffersFromText(GetMember(loader, u"LanguageID"), language)) {
    LetMember(loader, u"LanguageID", Variant::Str(language));
  }
}

// A plain text: looked up by its trimmed key; the spaces around it are kept.
String TranslatePlain(const ObjectRef& loader, const String& text) {
  const String key(TrimSpaces(text));
  const String leading = text.substr(0, text.find(key));
  const String trailing = text.substr(leading.size() + key.size());

  Variant key_arg = Variant::Str(key);
  String value = ToString(GetMember(loader, u"LoadString", {Arg::Ref(key_arg)}));
  while (value.starts_with(kCrLf))
    value.erase(0, kCrLf.size());
  while (value.ends_with(kCrLf))
    value.erase(value.size() - kCrLf.size());

  String joined = leading + value + trailing;
  if (joined.empty())
    joined = kUntranslated;
  return joined;
}

}  // namespace

String GetCurrentLanguage() {
  TranslationCache& cache = Cache();
  if (cache.gLocaleState.IsNothing())
    cache.gLocaleState = CreateObject(u"Polyglot.LocaleState");
  return AsciiUpper(ToString(GetMember(cache.gLocaleState, u"CurrentLanguage")));
}

String TranslateText(String text) {
  String result;
  // Never raises, and an error that the caller is handling stays pending. On
  // a failure (even in copying the text) the text comes back as given.
  const bool translated = TrapKeepingPendingError([&] {
    TranslationCache& cache = Cache();
    if (cache.gLanguageId.empty())
      cache.gLanguageId = GetCurrentLanguage();
    if (cache.gPhrasebook.IsNothing())
      cache.gPhrasebook = CreateObject(u"Phrasebook.Catalog");
    ConfigureLoader(cache.gPhrasebook, cache.gLanguageId);

    if (text.find(kSeparator) != String::npos) {
      result = TranslateCompound(text);
    } else if (AsciiUpper(cache.gLanguageId) == kSourceLanguage || TrimSpaces(text).empty()) {
      // Source language, or nothing to look up: unchanged.
      result = text;
    } else {
      result = TranslatePlain(cache.gPhrasebook, text);
    }
  });
  if (!translated)
    return text;
  return result;
}

String TranslateCompound(const String& text) {
  String result;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(kSeparator, start);
    const StringView segment =
        StringView(text).substr(start, end == String::npos ? String::npos : end - start);
    if (segment.starts_with(kTranslatePrefix)) {
      result += TranslateText(String(segment.substr(kTranslatePrefix.size())));
    } else {
      result += segment;
    }
    if (end == String::npos)
      break;
    start = end + kSeparator.size();
  }
  return result;
}

}  // namespace wb::mmts
