#include "tools/replay/scenario_builder.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "core/runtime_errors.h"
#include "refsuite/catalog.h"
#include "refsuite/scenario_json.h"
#include "tools/replay/conversion.h"
#include "tools/replay/shown.h"

namespace replay {

namespace {

using refsuite::Answer;
using refsuite::ScriptedError;
using refsuite::ScriptedValue;

// What stands in for the part of a text that the trace cut.
constexpr char16_t kFill = u'~';
// Where the trace cut a text (trace/trace_line.h).
constexpr size_t kTextLimit = 256;
// The array that the suite answers for {"type": "Array"}: VT_ARRAY | VT_VARIANT.
constexpr int64_t kSuiteArray = 0x200C;

// Reads the values and errors of trace lines as a scenario's, and notes
// what a scenario cannot give back as it was.
class Values {
 public:
  explicit Values(Notes& notes) : notes_(notes) {}

  // A text of the trace, with the part that the trace cut filled in.
  wb::String Text(const Json& holder,
                  const char* key,
                  const std::string& length_key,
                  uint64_t line,
                  const std::string& what) {
    wb::String text = wb::FromUtf8(holder[key].get<std::string>());
    if (!holder.contains(length_key))
      return text;
    // The converter keeps the filling within its budget (FillOf): the
    // limit here only guards against a caller that does not.
    const uint64_t recorded = holder[length_key].get<uint64_t>();
    const uint64_t length = std::min(recorded, Budgets::kMaxFill);
    const size_t kept = text.size();
    // The trace cuts before a surrogate pair that would straddle the limit:
    // a pair stands first in the filling so that the replay's trace cuts
    // at the same place.
    if (kept + 1 == kTextLimit && length > kTextLimit)
      text += u"\U0001F5CE";
    if (text.size() < length)
      text.append(static_cast<size_t>(length - text.size()), kFill);
    notes_.Add("cut:" + what, line,
               what + " is cut at " + std::to_string(kept) + " of " + std::to_string(recorded) +
                   " characters: the replay fills the rest with \"~\"");
    return text;
  }

  wb::ErrRecord Error(const Json& error, uint64_t line, const std::string& what) {
    wb::ErrRecord record;
    record.number = static_cast<int32_t>(error["number"].get<int64_t>());
    record.source = Text(error, "source", "source_length", line, "the Source of " + what);
    record.description =
        Text(error, "description", "description_length", line, "the Description of " + what);
    record.help_file = Text(error, "helpfile", "helpfile_length", line, "the HelpFile of " + what);
    record.help_context = static_cast<int32_t>(error["helpcontext"].get<int64_t>());
    return record;
  }

  // A value as a scenario can give it; `what` names it in notes (empty: an
  // argument, never answered, so nothing to note).
  ScriptedValue Value(const Json& value, uint64_t line, const std::string& what) {
    ScriptedValue out;
    const std::string type = value["type"];
    const Json& v = value["value"];
    auto note = [&](const std::string& key, const std::string& text) {
      if (!what.empty())
        notes_.Add(key + ":" + what, line, what + " " + text);
    };
    auto number = [&]() -> double {
      if (v.is_number())
        return v.get<double>();
      note("nan", "is " + Shown(v.get<std::string>()) +
                      ", which a scenario cannot hold: the replay answers 0 instead");
      return 0;
    };
    if (type == "Empty") {
    } else if (type == "Null") {
      out.plain = wb::Variant::Null();
    } else if (type == "Boolean") {
      out.plain = wb::Variant::Bool(v.get<bool>());
    } else if (type == "Integer") {
      out.plain = wb::Variant::Integer(static_cast<int16_t>(v.get<int64_t>()));
    } else if (type == "Long") {
      out.plain = wb::Variant::Long(static_cast<int32_t>(v.get<int64_t>()));
    } else if (type == "Byte") {
      out.plain = wb::Variant::Byte(static_cast<uint8_t>(v.get<int64_t>()));
    } else if (type == "Error") {
      out.plain = wb::Variant::Error(static_cast<int32_t>(v.get<int64_t>()));
    } else if (type == "Single") {
      // The reader has checked the range (trace_event.cc).
      out.plain = wb::Variant::Single(refsuite::SingleOf(number()).value_or(0));
    } else if (type == "Double") {
      out.plain = wb::Variant::Double(number());
    } else if (type == "Date") {
      out.plain = wb::Variant::Date(number());
    } else if (type == "Currency") {
      out.plain = wb::Variant::Currency(refsuite::CurrencyOf(number()).value_or(0));
    } else if (type == "String") {
      out.plain = wb::Variant::Str(Text(value, "value", "length", line, what));
    } else if (type == "Object" && v.is_null()) {
      note("nothing", "is Nothing, which a scenario cannot answer: the replay answers Empty");
    } else if (type == "Object") {
      out.shape = ScriptedValue::Shape::kObject;
      note("object",
           "is an object; what it answered is not in the trace: the replay answers an object "
           "without a default member");
    } else if (type == "Unsupported" && (v.get<int64_t>() & 0x2000) != 0) {
      out.shape = ScriptedValue::Shape::kArray;
      if (v.get<int64_t>() != kSuiteArray)
        note("array", "is an array of another element type (VARTYPE " +
                          std::to_string(v.get<int64_t>()) +
                          "): the replay answers an array of variants");
    } else {
      note("type", "is a value of type " + Shown(type, 32) + " (" +
                       Shown(v.dump(-1, ' ', false, Json::error_handler_t::replace), 40) +
                       ") that a scenario cannot make: the replay answers Empty");
    }
    return out;
  }

 private:
  Notes& notes_;
};

}  // namespace

class ScenarioBuilder::Impl {
 public:
  explicit Impl(Notes& notes) : values_(notes) {}

  void Feed(const Event& event) {
    const wb::String prog_id = wb::AsciiUpper(wb::FromUtf8(event.Text("progid")));
    switch (event.kind) {
      case EventKind::kCreate:
        ++interactions_;
        creations_[prog_id].push_back({interactions_, std::nullopt});
        ++live_[prog_id];
        stored_.erase(prog_id);
        return;
      case EventKind::kCreateFailed:
        ++interactions_;
        creations_[prog_id].push_back(
            {interactions_, values_.Error(event.fields["error"], event.line,
                                          "the creation of " + Shown(event.Text("progid"), 64))});
        return;
      case EventKind::kRelease:
        Release(prog_id);
        return;
      case EventKind::kGet:
      case EventKind::kCall:
      case EventKind::kLet:
        ++interactions_;
        MemberCall(event, prog_id);
        return;
      default:
        return;
    }
  }

  bool IsLive(const wb::String& prog_id) const {
    auto it = live_.find(prog_id);
    return it != live_.end() && it->second > 0;
  }
  void Release(const wb::String& prog_id) {
    if (live_[prog_id] > 0)
      --live_[prog_id];
  }
  std::string LiveNames() const {
    std::string names;
    for (const auto& [prog_id, count] : live_) {
      if (count <= 0)
        continue;
      const refsuite::Component* component = refsuite::FindComponent(prog_id);
      names += (names.empty() ? "" : ", ") + (component ? component->prog_id : wb::ToUtf8(prog_id));
    }
    return names;
  }

  refsuite::Scenario Finish() {
    // The answers are told apart by now: their written forms can go.
    std::map<std::string, size_t>().swap(answer_index_);
    refsuite::Scenario scenario = std::move(scenario_);
    for (auto& [key, log] : members_) {
      refsuite::MemberScript script;
      if (log.general)
        ScriptGeneral(log, script);
      for (const Entry& entry : log.exceptions)
        script.when.push_back(Rule(entry.nth, answers_[entry.answer]));
      if (log.general || !script.when.empty())
        scenario.components[key.first][key.second] = std::move(script);
    }
    const wb::ErrRecord cannot_create{wb::rt::kCannotCreateObject, wb::rt::kRuntimeSource,
                                      wb::rt::Describe(wb::rt::kCannotCreateObject), u"", 0};
    for (const auto& [prog_id, list] : creations_) {
      bool all_failed = true;
      bool same = true;
      for (const Creation& creation : list) {
        all_failed = all_failed && creation.error.has_value();
        same = same && creation.error == list.front().error;
      }
      if (all_failed && same) {
        const wb::ErrRecord& error = *list.front().error;
        scenario.uncreatable[prog_id] =
            error == cannot_create ? std::nullopt : std::optional(ScriptedError{error});
        continue;
      }
      for (const Creation& creation : list) {
        if (!creation.error)
          continue;
        refsuite::Injection fault;
        fault.at = creation.interaction;
        fault.raise.record = *creation.error;
        fault.creation_raises = *creation.error != cannot_create;
        scenario.inject[fault.at] = fault;
      }
    }
    return scenario;
  }

 private:
  enum class Kind { kGeneral, kSession, kRights, kPhrase, kLanguage, kStored };

  struct Entry {
    int nth;
    size_t answer;
    bool let;
  };
  struct Log {
    bool general = false;
    // General members: every call. The others: the calls that the suite's
    // own behaviour would answer otherwise.
    std::vector<Entry> exceptions;
  };
  struct Creation {
    int interaction;
    std::optional<wb::ErrRecord> error;
  };

  static refsuite::Rule Rule(int nth, const Answer& answer) {
    refsuite::Rule rule;
    rule.nth_overall = nth;
    rule.answer = answer;
    return rule;
  }

  static bool Affects(const Answer& answer) {
    return answer.missing || answer.raise || !answer.write_back.empty();
  }

  // The most frequent answer of reads and calls answers every call of the
  // member; the others get theirs by number. An assignment that must not
  // raise or write back the member's answer gets a rule of its own.
  void ScriptGeneral(Log& log, refsuite::MemberScript& script) {
    std::map<size_t, size_t> frequency;
    for (const Entry& entry : log.exceptions) {
      if (!entry.let)
        ++frequency[entry.answer];
    }
    std::optional<size_t> common;
    size_t best = 0;
    for (const Entry& entry : log.exceptions) {
      if (!entry.let && frequency[entry.answer] > best) {
        best = frequency[entry.answer];
        common = entry.answer;
      }
    }
    if (common)
      script.answer = answers_[*common];
    std::vector<Entry> rules;
    for (const Entry& entry : log.exceptions) {
      const Answer& answer = answers_[entry.answer];
      const bool needed = entry.let ? Affects(answer) || Affects(script.answer)
                                    : !common || entry.answer != *common;
      if (needed)
        rules.push_back(entry);
    }
    log.exceptions = std::move(rules);
  }

  size_t Intern(const Answer& answer) {
    refsuite::OrderedJson json = refsuite::OrderedJson::object();
    refsuite::AddAnswerJson(answer, json);
    auto [it, added] = answer_index_.emplace(json.dump(), answers_.size());
    if (added)
      answers_.push_back(answer);
    return it->second;
  }

  static Kind KindOf(const wb::String& prog_id, const wb::String& member) {
    if (prog_id == u"CTXSTORE.SESSIONBAG" && member == u"GETPROPERTY")
      return Kind::kSession;
    if (prog_id == u"GATEKEEPER.RIGHTSDESK" && member == u"ACCESSCHECK")
      return Kind::kRights;
    if (prog_id == u"PHRASEBOOK.CATALOG" && member == u"LOADSTRING")
      return Kind::kPhrase;
    if (prog_id == u"POLYGLOT.LOCALESTATE" && member == u"CURRENTLANGUAGE")
      return Kind::kLanguage;
    const refsuite::Component* component = refsuite::FindComponent(prog_id);
    const refsuite::MemberDef* def = component ? refsuite::FindMember(*component, member) : nullptr;
    return def && def->stored() ? Kind::kStored : Kind::kGeneral;
  }

  void MemberCall(const Event& event, const wb::String& prog_id) {
    const wb::String member = wb::AsciiUpper(wb::FromUtf8(event.Text("member")));
    const int nth = ++counts_[{prog_id, member}];
    const std::string name = event.MemberName();
    const Json& args = event.fields["args"];

    Answer answer;
    if (event.fields.contains("written")) {
      for (const Json& written : event.fields["written"]) {
        const size_t position = written["position"].get<size_t>();
        // An object by reference comes back as a new reference to the same
        // object: the platform's doing, which the replay repeats by itself.
        if (written["type"] == "Object" && position <= args.size() &&
            args[position - 1]["type"] == "Object" && args[position - 1]["byref"] == true) {
          continue;
        }
        answer.write_back[position - 1] =
            values_.Value(written, event.line,
                          "what " + name + " wrote into its argument " + std::to_string(position));
      }
    }
    if (event.fields.contains("error")) {
      answer.raise = ScriptedError{
          values_.Error(event.fields["error"], event.line, "the error of " + name), {}};
    } else if (event.kind != EventKind::kLet) {
      answer.value = values_.Value(event.fields["result"], event.line, "the answer of " + name);
    }

    const Kind kind = KindOf(prog_id, member);
    Log& log = members_[{prog_id, member}];
    log.general = kind == Kind::kGeneral;
    const bool plain =
        !Affects(answer) && (!answer.value || answer.value->shape == ScriptedValue::Shape::kPlain);
    // The session, the rights and the phrases are read, never assigned.
    const bool read = plain && event.kind != EventKind::kLet;
    bool as_default = false;
    switch (kind) {
      case Kind::kGeneral:
        break;
      case Kind::kSession:
        as_default = read && SessionAnswers(event, args, *answer.value);
        break;
      case Kind::kRights:
        as_default = read && RightsAnswer(args, *answer.value);
        break;
      case Kind::kPhrase:
        as_default = read && PhraseAnswers(args, *answer.value);
        break;
      case Kind::kLanguage:
        as_default = plain && LanguageAnswers(event, args, answer);
        break;
      case Kind::kStored:
        as_default = plain && StoredAnswers(event, prog_id, member, args, answer);
        break;
    }
    if (!as_default)
      log.exceptions.push_back({nth, Intern(answer), event.kind == EventKind::kLet});
  }

  // The argument at `index` as a plain value; nullopt when it is no plain
  // value or its text was cut.
  std::optional<wb::Variant> Arg(const Json& args, size_t index) {
    if (index >= args.size() || args[index].contains("length"))
      return std::nullopt;
    const ScriptedValue value = values_.Value(args[index], 0, "");
    if (value.shape != ScriptedValue::Shape::kPlain)
      return std::nullopt;
    return value.plain;
  }

  // Decides a table entry from its first answer; true when `answer` is the
  // entry's (the suite then gives it from the table).
  template <class Key>
  static bool Decide(std::map<Key, wb::Variant>& decided,
                     const Key& key,
                     const wb::Variant& answer,
                     bool& first) {
    auto [it, added] = decided.emplace(key, answer);
    first = added;
    return added || it->second == answer;
  }

  // GetProperty(processId, name): the session of the process that asks.
  bool SessionAnswers(const Event& event, const Json& args, const ScriptedValue& answer) {
    const auto pid = Arg(args, 0);
    const auto name = Arg(args, 1);
    if (!pid || !name || !name->IsString() || !pid->IsNumeric() ||
        pid->kind() == wb::VarKind::kBoolean || pid->integral() != event.pid) {
      return false;
    }
    bool first = false;
    if (!Decide(session_, name->str(), answer.plain, first))
      return false;
    if (first && !answer.plain.IsEmpty())
      scenario_.session[name->str()] = answer;
    return true;
  }

  // AccessCheck(props, FuncID, CheckType, CheckFlag): True or False by FuncID.
  bool RightsAnswer(const Json& args, const ScriptedValue& answer) {
    const auto func = Arg(args, 1);
    if (!func || answer.plain.kind() != wb::VarKind::kBoolean ||
        (func->kind() != wb::VarKind::kLong && func->kind() != wb::VarKind::kInteger &&
         func->kind() != wb::VarKind::kByte)) {
      return false;
    }
    const auto id = static_cast<int32_t>(func->integral());
    bool first = false;
    if (!Decide(rights_, id, answer.plain, first))
      return false;
    if (first)
      scenario_.rights[id] = answer.plain.integral() != 0;
    return true;
  }

  // LoadString(key): the phrase of the loader's LanguageID.
  bool PhraseAnswers(const Json& args, const ScriptedValue& answer) {
    const wb::String catalog = u"PHRASEBOOK.CATALOG";
    const auto key = Arg(args, 0);
    if (!key || !key->IsString() || !answer.plain.IsString() || live_[catalog] > 1)
      return false;
    const wb::Variant& id = stored_[catalog][u"LANGUAGEID"];
    const wb::String language = wb::AsciiUpper(id.IsString() ? id.str() : wb::String());
    bool first = false;
    if (!Decide(phrases_, std::pair(language, key->str()), answer.plain, first))
      return false;
    if (first && !answer.plain.str().empty())
      scenario_.phrases[language][key->str()] = answer.plain.str();
    return true;
  }

  // CurrentLanguage: the language that this thread assigned, else the
  // scenario's.
  bool LanguageAnswers(const Event& event, const Json& args, const Answer& answer) {
    if (event.kind == EventKind::kLet) {
      const auto value = Arg(args, args.size() - 1);
      if (value && value->IsString())
        thread_language_ = value->str();
      else if (value && value->IsEmpty())
        thread_language_.reset();
      return true;
    }
    if (!answer.value->plain.IsString())
      return false;
    const wb::String& text = answer.value->plain.str();
    if (thread_language_)
      return *thread_language_ == text;
    if (!language_decided_) {
      language_decided_ = true;
      scenario_.language = text;
    }
    return scenario_.language == text;
  }

  // A stored property answers what was last assigned on the instance, or
  // its first value. Told apart by ProgID: with two instances of one ProgID
  // alive, every read is scripted.
  bool StoredAnswers(const Event& event,
                     const wb::String& prog_id,
                     const wb::String& member,
                     const Json& args,
                     const Answer& answer) {
    auto& properties = stored_[prog_id];
    if (event.kind == EventKind::kLet) {
      const auto value = Arg(args, args.size() - 1);
      if (!value)
        return false;
      properties[member] = *value;
      return true;
    }
    if (live_[prog_id] > 1)
      return false;
    auto it = properties.find(member);
    wb::Variant expected;
    if (it != properties.end()) {
      expected = it->second;
    } else {
      const refsuite::MemberDef* def =
          refsuite::FindMember(*refsuite::FindComponent(prog_id), member);
      if (def->initial)
        expected = wb::Variant::Str(def->initial);
    }
    return expected == answer.value->plain;
  }

  Values values_;
  refsuite::Scenario scenario_;
  int interactions_ = 0;
  std::map<std::pair<wb::String, wb::String>, int> counts_;
  std::map<std::pair<wb::String, wb::String>, Log> members_;
  std::map<wb::String, std::vector<Creation>> creations_;
  std::map<wb::String, int> live_;
  std::map<wb::String, std::map<wb::String, wb::Variant>> stored_;
  std::map<wb::String, wb::Variant> session_;
  std::map<int32_t, wb::Variant> rights_;
  std::map<std::pair<wb::String, wb::String>, wb::Variant> phrases_;
  std::optional<wb::String> thread_language_;
  bool language_decided_ = false;
  std::vector<Answer> answers_;
  std::map<std::string, size_t> answer_index_;
};

namespace {

// The lengths that the trace recorded for the cut texts of an error.
uint64_t ErrorFill(const Json& error) {
  uint64_t fill = 0;
  for (const char* key : {"source_length", "description_length", "helpfile_length"}) {
    if (error.contains(key))
      fill = SaturatingAdd(fill, error[key].get<uint64_t>());
  }
  return fill;
}

uint64_t ValueFill(const Json& value) {
  return value.contains("length") && value["type"] == "String" ? value["length"].get<uint64_t>()
                                                               : 0;
}

}  // namespace

uint64_t ScenarioBuilder::FillOf(const Event& event) {
  uint64_t fill = 0;
  if (event.fields.contains("error"))
    fill = SaturatingAdd(fill, ErrorFill(event.fields["error"]));
  if (event.fields.contains("result"))
    fill = SaturatingAdd(fill, ValueFill(event.fields["result"]));
  if (event.fields.contains("written")) {
    for (const Json& written : event.fields["written"])
      fill = SaturatingAdd(fill, ValueFill(written));
  }
  return fill;
}

ScenarioBuilder::ScenarioBuilder(Notes& notes) : impl_(std::make_unique<Impl>(notes)) {}
ScenarioBuilder::~ScenarioBuilder() = default;

void ScenarioBuilder::Feed(const Event& event) {
  impl_->Feed(event);
}
bool ScenarioBuilder::IsLive(const std::string& prog_id) const {
  return impl_->IsLive(wb::AsciiUpper(wb::FromUtf8(prog_id)));
}
void ScenarioBuilder::Release(const std::string& prog_id) {
  impl_->Release(wb::AsciiUpper(wb::FromUtf8(prog_id)));
}
std::string ScenarioBuilder::LiveNames() const {
  return impl_->LiveNames();
}
refsuite::Scenario ScenarioBuilder::Finish() {
  return impl_->Finish();
}

}  // namespace replay
