// Fuzzes translation with arbitrary texts, languages and loader answers.
//
// Input layout: a language byte (0: "CHS", 1: "chs", 2: "ENG", 3: empty), a
// flag byte (bit 0: an error is pending at entry; bit 1: the loader raises),
// then the text and the loader's answer as UTF-8 separated by a 0xFF byte.
// Checked for every input: nothing escapes, a pending error survives in all
// five fields, no error is left behind otherwise, a text without separators
// in the source language, or when the loader fails, comes back unchanged, and
// every component goes.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "bridge/bridge.h"
#include "bridge/native_registry.h"
#include "bridge/thread_state.h"
#include "core/err.h"
#include "core/ref_counted.h"
#include "session/mmts.h"

namespace {

using wb::Args;
using wb::CallKind;
using wb::Variant;

int g_live = 0;
wb::String g_language;
wb::String g_answer;
bool g_loader_raises = false;

class FuzzComponent final : public wb::RefCounted<FuzzComponent> {
 public:
  explicit FuzzComponent(bool loader) : loader_(loader) { ++g_live; }
  Variant Invoke(wb::StringView name, CallKind kind, Args& args) override {
    if (!loader_)
      return Variant::Str(g_language);
    if (wb::EqualsIgnoreAsciiCase(name, u"LoadString")) {
      if (g_loader_raises)
        wb::Err::Raise(1000, wb::String(u"Loader"), wb::String(u"down"));
      args.at(0).value() = Variant::Str(u"overwritten");
      return Variant::Str(g_answer);
    }
    if (kind == CallKind::kLet) {
      properties_[wb::String(name)] = args.at(0).value();
      return Variant();
    }
    return properties_[wb::String(name)];
  }

 private:
  friend class wb::RefCounted<FuzzComponent>;
  ~FuzzComponent() { --g_live; }
  bool loader_;
  std::map<wb::String, Variant> properties_;
};

void Check(bool condition) {
  if (!condition)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  auto& registry = wb::NativeRegistry::Instance();
  registry.Register(u"Polyglot.LocaleState",
                    [] { return wb::ObjectRef(new FuzzComponent(false)); });
  registry.Register(u"Phrasebook.Catalog", [] { return wb::ObjectRef(new FuzzComponent(true)); });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  static const char16_t* const kLanguages[] = {u"CHS", u"chs", u"ENG", u""};
  g_language = kLanguages[data[0] % 4];
  const bool pending = data[1] & 1;
  g_loader_raises = data[1] & 2;
  const std::string rest(reinterpret_cast<const char*>(data + 2), size - 2);
  const size_t cut = rest.find('\xFF');
  const wb::String text = wb::FromUtf8(rest.substr(0, cut));
  g_answer = cut == std::string::npos ? wb::String() : wb::FromUtf8(rest.substr(cut + 1));

  const wb::ErrRecord before =
      pending ? wb::ErrRecord{5, u"S", text, u"h.chm", 7} : wb::ErrRecord{};
  {
    wb::ThreadStateUser user;
    wb::Err::Get() = before;
    const wb::String result = wb::mmts::TranslateText(text);
    Check(wb::Err::Get() == before);
    if (text.find(u"^|^") == wb::String::npos && (data[0] % 4) < 2)
      Check(result == text);
    if (g_loader_raises && text.find(u"^|^") == wb::String::npos)
      Check(result == text);
  }
  Check(g_live == 0);
  return 0;
}
