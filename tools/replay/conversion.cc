#include "tools/replay/conversion.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <utility>

#include "bridge/runtime_errors.h"
#include "bridge/text.h"
#include "refsuite/catalog.h"
#include "refsuite/scenario_json.h"
#include "tools/replay/line_reader.h"
#include "tools/replay/trace_event.h"

namespace replay {

namespace {

using refsuite::Answer;
using refsuite::ScriptedError;
using refsuite::ScriptedValue;

// A host call whose events go beyond this is left out: its events are held
// until its end is seen.
constexpr size_t kMaxCallEvents = 20000;
// Distinct notes kept; the rest are counted.
constexpr size_t kMaxNotes = 200;
// What stands in for the part of a text that the trace cut.
constexpr char16_t kFill = u'~';
// Where the trace cut a text (bridge/trace_line.h).
constexpr size_t kTextLimit = 256;
// The longest text a scenario is given.
constexpr uint64_t kMaxText = 10'000'000;
// The array that the suite answers for {"type": "Array"}: VT_ARRAY | VT_VARIANT.
constexpr int64_t kSuiteArray = 0x200C;

// What cannot be replayed: one line per subject, however often it happens.
class Notes {
 public:
  void Add(const std::string& key, uint64_t line, const std::string& text) {
    auto it = index_.find(key);
    if (it != index_.end()) {
      ++notes_[it->second].count;
      return;
    }
    if (notes_.size() >= kMaxNotes) {
      ++dropped_;
      return;
    }
    index_.emplace(key, notes_.size());
    notes_.push_back({text, line, 1});
  }

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const Note& note : notes_) {
      std::string where;
      if (note.line != 0) {
        where = "line " + std::to_string(note.line);
        if (note.count > 1)
          where += " (and " + std::to_string(note.count - 1) + " more)";
        where += ": ";
      } else if (note.count > 1) {
        where = std::to_string(note.count) + " times: ";
      }
      lines.push_back(where + note.text);
    }
    if (dropped_ != 0)
      lines.push_back(std::to_string(dropped_) + " more things of other kinds (not listed)");
    return lines;
  }

 private:
  struct Note {
    std::string text;
    uint64_t line;
    uint64_t count;
  };
  std::map<std::string, size_t> index_;
  std::vector<Note> notes_;
  uint64_t dropped_ = 0;
};

struct ScanTotals {
  bool opened = false;
  uint64_t bytes = 0;
  uint64_t lines = 0;
  uint64_t events = 0;   // trace lines read as events
  uint64_t unknown = 0;  // trace lines of events this reader does not know
  uint64_t first_bad_line = 0;
  std::string first_bad;
};

// Reads the trace at `path` line by line and hands each event to
// `on_event`, which returns false to stop. Lines that are no trace lines
// are noted and skipped.
template <class OnEvent>
ScanTotals Scan(const std::string& path, Notes& notes, OnEvent&& on_event) {
  ScanTotals totals;
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return totals;
  totals.opened = true;
  LineReader reader(in);
  LineReader::Line line;
  while (reader.Next(line)) {
    totals.lines = line.number;
    if (line.too_long) {
      notes.Add("long", line.number,
                "a line longer than " + std::to_string(LineReader::kMaxLine >> 20) +
                    " MiB is no trace line: skipped");
      continue;
    }
    if (line.text.find_first_not_of(" \t") == std::string_view::npos)
      continue;
    ReadLine read = ReadEvent(line.text, line.number);
    for (const std::string& field : read.unknown_fields) {
      notes.Add("field:" + field, line.number,
                "unknown field \"" + field + "\" (a newer trace?): ignored");
    }
    if (!read.unknown_event.empty()) {
      ++totals.unknown;
      notes.Add("event:" + read.unknown_event, line.number,
                "unknown event \"" + read.unknown_event + "\" (a newer trace?): not replayed");
      continue;
    }
    if (!read.event) {
      if (totals.first_bad.empty()) {
        totals.first_bad = read.problem;
        totals.first_bad_line = line.number;
      }
      if (line.unended) {
        notes.Add("cut-line", line.number,
                  "the last line is cut short (the trace was cut, or still being written): "
                  "skipped");
      } else {
        notes.Add("bad", line.number, "not a trace line (" + read.problem + "): skipped");
      }
      continue;
    }
    ++totals.events;
    if (!on_event(std::move(*read.event)))
      break;
  }
  totals.bytes = reader.bytes_read();
  return totals;
}

// Why the file serves no replay at all, or "" when it holds trace lines.
std::string FileProblem(const std::string& path, const ScanTotals& totals) {
  if (!totals.opened)
    return path + ": cannot be read";
  if (totals.bytes == 0)
    return path + ": the file is empty: there is nothing to replay";
  if (totals.events == 0 && totals.unknown == 0) {
    std::string problem = path + ": not a field trace (JSON lines): no line of it is a trace line";
    if (totals.first_bad_line != 0) {
      problem += " (line " + std::to_string(totals.first_bad_line) + ": " + totals.first_bad + ")";
    } else {
      problem += " (its lines are too long, or blank)";
    }
    return problem;
  }
  return {};
}

bool IsHostCall(const Event& event) {
  return event.kind == EventKind::kHostEnter || event.kind == EventKind::kHostRefused;
}

std::string CallName(const Event& event) {
  if (event.kind == EventKind::kHostRefused)
    return event.Text("method") + " refused";
  return event.Text("method") + (event.fields.contains("id")
                                     ? " " + std::to_string(event.fields["id"].get<int64_t>())
                                     : std::string());
}

std::string ThreadName(int64_t pid, int64_t thread) {
  return "process " + std::to_string(pid) + ", thread " + std::to_string(thread);
}

// ---- Values, as a scenario gives them --------------------------------------

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
    const uint64_t length = std::min<uint64_t>(holder[length_key].get<uint64_t>(), kMaxText);
    const size_t kept = text.size();
    // The trace cuts before a surrogate pair that would straddle the limit:
    // a pair stands first in the filling so that the replay's trace cuts
    // at the same place.
    if (kept + 1 == kTextLimit && length > kTextLimit)
      text += u"\U0001F5CE";
    while (text.size() < length)
      text += kFill;
    notes_.Add("cut:" + what, line,
               what + " is cut at " + std::to_string(kept) + " of " + std::to_string(length) +
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
      note("nan", "is " + v.get<std::string>() +
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
      out.plain = wb::Variant::Single(static_cast<float>(number()));
    } else if (type == "Double") {
      out.plain = wb::Variant::Double(number());
    } else if (type == "Date") {
      out.plain = wb::Variant::Date(number());
    } else if (type == "Currency") {
      out.plain = wb::Variant::Currency(std::llround(number() * 10000.0));
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
      note("type", "is a value of type " + type + " (" + v.dump() +
                       ") that a scenario cannot make: the replay answers Empty");
    }
    return out;
  }

 private:
  Notes& notes_;
};

// ---- The scenario ----------------------------------------------------------

// Builds the scenario from the component events of the host calls that are
// replayed, in their order. The session, the rights, the language and the
// phrases go where a reader of the scenario looks for them, and the
// suite's own behaviour answers them; so do the stored properties. Every
// answer that those do not give, and every other member's answer, is
// scripted: the member's most frequent answer, and for each other call its
// answer by its number among the calls of that member (`nthOverall`).
// Failed creations make a ProgID uncreatable, or fail the very interaction
// (`inject`) when the ProgID was also created.
class ScenarioBuilder {
 public:
  explicit ScenarioBuilder(Notes& notes) : values_(notes) {}

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
                                          "the creation of " + event.Text("progid"))});
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

  bool IsLive(const std::string& prog_id) const {
    auto it = live_.find(wb::AsciiUpper(wb::FromUtf8(prog_id)));
    return it != live_.end() && it->second > 0;
  }
  void Release(const wb::String& prog_id) {
    if (live_[prog_id] > 0)
      --live_[prog_id];
  }
  // The ProgIDs that are live now, with their instances.
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

// ---- The host's calls ------------------------------------------------------

// Follows one thread's host calls: each call's events are held until its end
// is seen, then either replayed as a whole (a step of the plan, its events
// expected, its answers scripted) or left out with a note.
class Converter {
 public:
  Converter(const Options& options, std::ostream& expect, Notes& notes)
      : options_(options), expect_(expect), notes_(notes), builder_(notes) {}

  bool OnEvent(Event&& event) {
    if (IsHostCall(event) && (!call_ || !call_->console) && calls_ >= options_.max_calls) {
      notes_.Add("max-calls", event.line,
                 "the trace goes on past " + std::to_string(options_.max_calls) +
                     " host calls: the rest is not replayed (--max-calls)");
      return false;
    }
    switch (event.kind) {
      case EventKind::kHostEnter:
        Enter(std::move(event));
        return true;
      case EventKind::kHostLeave:
        Leave(std::move(event));
        return true;
      case EventKind::kHostRefused:
        if (call_) {
          Hold(std::move(event));
        } else {
          Refused(std::move(event));
        }
        return true;
      case EventKind::kRelease:
        if (call_) {
          Hold(std::move(event));
        } else if (builder_.IsLive(event.Text("progid"))) {
          // The host let Workbench go between two calls: the thread's
          // cached components went with it.
          builder_.Release(wb::AsciiUpper(wb::FromUtf8(event.Text("progid"))));
          Expect(event);
          renew_ = true;
        } else {
          Outside(event);
        }
        return true;
      default:
        if (call_) {
          Hold(std::move(event));
        } else {
          Outside(event);
        }
        return true;
    }
  }

  void Finish(Conversion& out) {
    if (call_) {
      notes_.Add("cut", call_->enter.line,
                 "the trace ends inside " + call_->enter.HostCallName() +
                     " (cut at its size limit, or the process ended during the call): "
                     "that call is not replayed");
      call_.reset();
    }
    const std::string live = builder_.LiveNames();
    if (!live.empty()) {
      plan_.push_back("hold");
      notes_.Add("hold", 0,
                 "the trace ends while its host still held Workbench: the replay's closing "
                 "releases (" +
                     live + ") are not compared");
    }
    out.scenario = builder_.Finish();
    out.plan = std::move(plan_);
    out.host_calls = calls_;
    out.events = events_;
  }

 private:
  struct Call {
    Event enter;
    std::vector<Event> events;
    bool console = false;
    int depth = 0;  // host calls made inside a console session
    std::string skip_key;
    std::string skip;  // why the call is not replayed, or ""
  };

  void Skip(const std::string& key, const std::string& why) {
    if (call_->skip.empty()) {
      call_->skip_key = key;
      call_->skip = why;
    }
  }

  void Enter(Event&& event) {
    if (call_ && call_->console) {
      ++call_->depth;
      Hold(std::move(event));
      return;
    }
    if (call_) {
      notes_.Add("unended", call_->enter.line,
                 call_->enter.HostCallName() +
                     " has no end in the trace (the next call begins "
                     "before it ended): not replayed");
    }
    call_.emplace(Call{std::move(event), {}, false, 0, {}, {}});
    const std::string method = call_->enter.Text("method");
    if (method == "ShowWorkbenchForm") {
      call_->console = true;
      Skip("console",
           "ShowWorkbenchForm, a console session: its clicks are not host calls, not replayed");
    } else if (method != "DEVOVIZoruze" || !call_->enter.fields.contains("id")) {
      Skip("method:" + method, "a host call " + call_->enter.HostCallName() +
                                   " that the replay's host cannot make: not replayed");
    }
  }

  void Hold(Event&& event) {
    if (event.IsComponentEvent() && !refsuite::FindComponent(wb::FromUtf8(event.Text("progid")))) {
      Skip("progid:" + event.Text("progid"),
           "\"" + event.Text("progid") +
               "\" is outside the reference suite's catalog: the host call that uses it (" +
               call_->enter.HostCallName() + ") is not replayed");
    }
    if (call_->events.size() >= kMaxCallEvents) {
      Skip("big", "a host call with more than " + std::to_string(kMaxCallEvents) +
                      " events is not replayed");
      return;
    }
    call_->events.push_back(std::move(event));
  }

  void Leave(Event&& event) {
    if (!call_) {
      Outside(event);
      return;
    }
    if (call_->console && call_->depth > 0) {
      --call_->depth;
      Hold(std::move(event));
      return;
    }
    if (event.Text("method") != call_->enter.Text("method") ||
        event.fields.value("id", Json()) != call_->enter.fields.value("id", Json())) {
      Skip("mismatch",
           "a host call that leaves as another (" + event.HostCallName() + ") is not replayed");
    }
    if (!call_->skip.empty()) {
      notes_.Add(call_->skip_key, call_->enter.line, call_->skip);
      call_.reset();
      return;
    }
    Step("call " + std::to_string(call_->enter.fields["id"].get<int64_t>()));
    Expect(call_->enter);
    for (const Event& held : call_->events) {
      builder_.Feed(held);
      Expect(held);
    }
    Expect(event);
    call_.reset();
  }

  void Refused(Event&& event) {
    std::string hresult = event.Text("hresult");
    for (char& c : hresult)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // What a script host passes to be refused so: a text that is no number,
    // and a number beyond a Long.
    const char* step = hresult == "0x80020005"   ? "refuse text"
                       : hresult == "0x8002000a" ? "refuse overflow"
                                                 : nullptr;
    if (step == nullptr || event.Text("method") != "DEVOVIZoruze") {
      notes_.Add("refused:" + hresult, event.line,
                 "a call of " + event.Text("method") + " refused with " + event.Text("hresult") +
                     ", which the replay's script host cannot make: not replayed");
      return;
    }
    Step(step);
    Expect(event);
  }

  void Outside(const Event& event) {
    notes_.Add("outside", event.line,
               "an event outside every replayed host call (the trace begins inside a call, or "
               "it belongs to a call that is not replayed): not replayed");
  }

  void Step(std::string step) {
    if (renew_)
      plan_.push_back("renew");
    renew_ = false;
    plan_.push_back(std::move(step));
    ++calls_;
  }

  void Expect(const Event& event) {
    expect_ << event.fields.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    ++events_;
  }

  const Options& options_;
  std::ostream& expect_;
  Notes& notes_;
  ScenarioBuilder builder_;
  std::optional<Call> call_;
  std::vector<std::string> plan_;
  bool renew_ = false;
  size_t calls_ = 0;
  size_t events_ = 0;
};

}  // namespace

Listing ListThreads(const std::string& path) {
  Listing listing;
  Notes ignored;
  std::map<std::pair<int64_t, int64_t>, size_t> index;
  const ScanTotals totals = Scan(path, ignored, [&](Event&& event) {
    auto it = index.find({event.pid, event.thread});
    if (it == index.end()) {
      if (listing.threads.size() >= Listing::kMaxThreads) {
        listing.more_threads = true;
        return true;
      }
      it = index.emplace(std::pair(event.pid, event.thread), listing.threads.size()).first;
      listing.threads.push_back({event.pid, event.thread, event.time, event.time, 0, {}});
    }
    ThreadCalls& thread = listing.threads[it->second];
    thread.last_time = event.time;
    if (!IsHostCall(event))
      return true;
    ++thread.host_calls;
    const std::string name = CallName(event);
    for (auto& [known, count] : thread.calls) {
      if (known == name) {
        ++count;
        return true;
      }
    }
    if (thread.calls.size() < ThreadCalls::kMaxNames)
      thread.calls.emplace_back(name, 1);
    return true;
  });
  listing.problem = FileProblem(path, totals);
  return listing;
}

std::vector<std::string> FormatListing(const Listing& listing) {
  std::vector<std::string> lines;
  for (const ThreadCalls& thread : listing.threads) {
    std::string line = ThreadName(thread.pid, thread.thread) + ": " + thread.first_time + " to " +
                       thread.last_time + ", " + std::to_string(thread.host_calls) + " host calls";
    std::string names;
    uint64_t listed = 0;
    for (const auto& [name, count] : thread.calls) {
      names +=
          (names.empty() ? ": " : ", ") + name + (count > 1 ? " x" + std::to_string(count) : "");
      listed += count;
    }
    if (listed < thread.host_calls)
      names += ", ...";
    lines.push_back(line + names);
  }
  if (listing.more_threads)
    lines.push_back("... and more threads, not listed");
  return lines;
}

Conversion Convert(const std::string& path, const Options& options, std::ostream& expect) {
  Conversion out;
  Pick pick = options.pick;
  if (!pick.pid || !pick.thread) {
    const Listing listing = ListThreads(path);
    if (!listing.problem.empty()) {
      out.error = listing.problem;
      return out;
    }
    std::vector<const ThreadCalls*> candidates;
    for (const ThreadCalls& thread : listing.threads) {
      if (thread.host_calls > 0 && (!pick.pid || thread.pid == *pick.pid) &&
          (!pick.thread || thread.thread == *pick.thread)) {
        candidates.push_back(&thread);
      }
    }
    if (candidates.size() != 1) {
      out.error = path + ": ";
      if (candidates.empty()) {
        out.error += pick.pid || pick.thread ? "no host call of that process or thread"
                                             : "no host call at all";
      } else {
        out.error += "host calls of " + std::to_string(candidates.size()) +
                     " threads; pick one with --process PID --thread TID";
      }
      out.error += "; the trace holds:";
      for (const std::string& line : FormatListing(listing))
        out.error += "\n  " + line;
      return out;
    }
    pick.pid = candidates.front()->pid;
    pick.thread = candidates.front()->thread;
  }
  out.pid = *pick.pid;
  out.thread = *pick.thread;

  Notes notes;
  Converter converter(options, expect, notes);
  const ScanTotals totals = Scan(path, notes, [&](Event&& event) {
    if (event.pid != out.pid || event.thread != out.thread)
      return true;
    return converter.OnEvent(std::move(event));
  });
  out.error = FileProblem(path, totals);
  converter.Finish(out);
  out.notes = notes.Lines();
  if (out.error.empty() && out.host_calls == 0) {
    out.error = path + ": nothing to replay for " + ThreadName(out.pid, out.thread);
  }
  out.ok = out.error.empty();
  return out;
}

}  // namespace replay
