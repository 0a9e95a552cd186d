#include "refsuite/suite.h"

#include "core/err.h"
#include "core/runtime_errors.h"
#include "core/text.h"
#include "refsuite/catalog.h"
#include "refsuite/host_io.h"
#include "refsuite/instance.h"
#include "refsuite/values.h"

namespace refsuite {

namespace {

constexpr uint16_t kVariantArray = 0x200C;  // VT_ARRAY | VT_VARIANT
constexpr char16_t kSuiteSource[] = u"RefSuite";

std::string Upper(const std::string& text) {
  return wb::ToUtf8(wb::AsciiUpper(wb::FromUtf8(text)));
}

}  // namespace

Suite& Suite::Get() {
  // Never destroyed: instances may be released during process exit.
  static auto* suite = new Suite;
  return *suite;
}

Suite::Suite() = default;

void Suite::SetObjectMaker(ObjectMaker maker) {
  MutexLock lock(mutex_);
  maker_ = std::move(maker);
}

wb::ObjectRef Suite::Create(wb::StringView prog_id) {
  const Component* component = FindComponent(prog_id);
  const std::string name = component ? component->prog_id : wb::ToUtf8(prog_id);
  std::optional<wb::ErrRecord> failure;
  ObjectMaker maker;
  int seq = 0;
  bool injected = false;
  {
    MutexLock lock(mutex_);
    EnsureLoaded();
    maker = maker_;
    seq = ++interactions_;
    const wb::ErrRecord cannot_create{wb::rt::kCannotCreateObject, wb::rt::kRuntimeSource,
                                      wb::rt::Describe(wb::rt::kCannotCreateObject), u"", 0};
    if (!scenario_) {
      failure =
          wb::ErrRecord{wb::rt::kCannotCreateObject, kSuiteSource, wb::FromUtf8(problem_), u"", 0};
    } else if (component == nullptr || !maker) {
      failure = cannot_create;
    } else if (auto it = scenario_->uncreatable.find(wb::AsciiUpper(prog_id));
               it != scenario_->uncreatable.end()) {
      failure = it->second ? it->second->record : cannot_create;
    }
    if (scenario_) {
      if (auto fault = scenario_->inject.find(seq); fault != scenario_->inject.end()) {
        injected = true;
        failure = fault->second.creation_raises ? fault->second.raise.record : cannot_create;
      }
    }
  }
  if (failure) {
    nlohmann::json entry = {{"event", "create-failed"},
                            {"progid", name},
                            {"seq", seq},
                            {"error", ErrorToJson(*failure)}};
    if (injected)
      entry["injected"] = true;
    journal_.Write(std::move(entry));
    wb::Err::Raise(failure->number, failure->source, failure->description, failure->help_file,
                   failure->help_context);
  }
  return maker(std::make_unique<Instance>(*component, NextInstanceId(), seq));
}

wb::Variant Suite::Materialize(const ScriptedValue& scripted) {
  switch (scripted.shape) {
    case ScriptedValue::Shape::kPlain:
      return scripted.plain;
    case ScriptedValue::Shape::kArray:
      return wb::Variant::Unsupported(kVariantArray);
    case ScriptedValue::Shape::kAny:
      return {};
    case ScriptedValue::Shape::kObject:
      break;
  }
  ObjectMaker maker;
  {
    MutexLock lock(mutex_);
    maker = maker_;
  }
  if (!maker)
    wb::Err::RaiseRuntime(wb::rt::kCannotCreateObject);
  return wb::Variant::Object(
      maker(std::make_unique<Instance>(scripted.default_value, NextInstanceId())));
}

std::shared_ptr<const Scenario> Suite::scenario() {
  MutexLock lock(mutex_);
  EnsureLoaded();
  return scenario_;
}

void Suite::EnsureLoaded() {
  if (loaded_)
    return;
  loaded_ = true;
  scenario_ = std::make_shared<Scenario>(DefaultScenario());
  const std::optional<std::string> path = GetEnv("WB_SUITE_SCENARIO");
  if (!path)
    return;
  const std::optional<std::string> text = ReadTextFile(*path);
  if (!text) {
    SetBroken(*path + ":1: cannot read the scenario file");
    return;
  }
  try {
    scenario_ = std::make_shared<Scenario>(ParseScenario(*text, *path, DefaultScenario()));
  } catch (const ScenarioError& e) {
    SetBroken(e.what());
  }
}

void Suite::SetBroken(std::string problem) {
  scenario_.reset();
  problem_ = std::move(problem);
  ReportProblem(problem_);
}

void Suite::LoadText(std::string_view text, const std::string& name) {
  try {
    auto parsed = std::make_shared<Scenario>(ParseScenario(text, name, DefaultScenario()));
    MutexLock lock(mutex_);
    loaded_ = true;
    scenario_ = std::move(parsed);
    problem_.clear();
    StartRun();
  } catch (const ScenarioError& e) {
    MutexLock lock(mutex_);
    loaded_ = true;
    StartRun();
    SetBroken(e.what());
    throw;
  }
}

void Suite::LoadFile(const std::string& path) {
  const std::optional<std::string> text = ReadTextFile(path);
  if (!text) {
    const std::string problem = path + ":1: cannot read the scenario file";
    MutexLock lock(mutex_);
    loaded_ = true;
    StartRun();
    SetBroken(problem);
    throw ScenarioError(problem);
  }
  LoadText(*text, path);
}

void Suite::Reset() {
  MutexLock lock(mutex_);
  loaded_ = true;
  scenario_ = std::make_shared<Scenario>(DefaultScenario());
  problem_.clear();
  StartRun();
}

void Suite::StartRun() {
  calls_.clear();
  interactions_ = 0;
  ++generation_;
}

void Suite::RaiseProblem() {
  std::string problem;
  {
    MutexLock lock(mutex_);
    problem = problem_;
  }
  wb::Err::Raise(wb::rt::kCannotCreateObject, kSuiteSource, wb::FromUtf8(problem), u"", 0);
}

int Suite::NextInstanceId() {
  MutexLock lock(mutex_);
  return ++last_id_;
}

int Suite::AddLive(const std::string& prog_id, int delta) {
  MutexLock lock(mutex_);
  return live_[Upper(prog_id)] += delta;
}

int Suite::CountCall(const std::string& prog_id, const wb::String& member) {
  MutexLock lock(mutex_);
  return ++calls_[{Upper(prog_id), member}];
}

int Suite::NextInteraction() {
  MutexLock lock(mutex_);
  return ++interactions_;
}

int Suite::Interactions() {
  MutexLock lock(mutex_);
  return interactions_;
}

std::optional<Injection> Suite::InjectionAt(int seq) {
  MutexLock lock(mutex_);
  if (!scenario_)
    return std::nullopt;
  auto it = scenario_->inject.find(seq);
  if (it == scenario_->inject.end())
    return std::nullopt;
  return it->second;
}

uint64_t Suite::generation() {
  MutexLock lock(mutex_);
  return generation_;
}

int Suite::LiveCount(const std::string& prog_id) {
  MutexLock lock(mutex_);
  auto it = live_.find(Upper(prog_id));
  return it == live_.end() ? 0 : it->second;
}

int Suite::TotalLive() {
  MutexLock lock(mutex_);
  int total = 0;
  for (const auto& [name, count] : live_)
    total += count;
  return total;
}

}  // namespace refsuite
