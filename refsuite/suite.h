// `Suite`: the process-wide state of the reference suite, shared by both
// bindings: the scenario in force, the journal, instance ids and the count of
// live instances per ProgID. Everything here is guarded by one mutex;
// instances themselves are used on one thread at a time.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include "refsuite/mutex.h"

#include "core/automation_object.h"
#include "core/variant.h"
#include "refsuite/journal.h"
#include "refsuite/scenario.h"

namespace refsuite {

class Instance;

class Suite {
 public:
  // Wraps an instance into the binding's object (native object or IDispatch).
  using ObjectMaker = std::function<wb::ObjectRef(std::unique_ptr<Instance>)>;

  static Suite& Get();

  void SetObjectMaker(ObjectMaker maker);

  // Creates a component of the catalogue under the scenario; raises through
  // `wb::Err` (429, the scenario's error, or the scenario file's problem).
  wb::ObjectRef Create(wb::StringView prog_id);

  // A value of the scenario; an object answer becomes a new object.
  wb::Variant Materialize(const ScriptedValue& scripted);

  // The scenario in force. On first use, the file named by WB_SUITE_SCENARIO
  // is loaded when set. Null when that file (or the last load) was bad.
  std::shared_ptr<const Scenario> scenario();
  // Replace the scenario; on failure the suite is left broken (every creation
  // raises the problem) and `ScenarioError` is thrown.
  void LoadText(std::string_view text, const std::string& name);
  void LoadFile(const std::string& path);
  void Reset();
  // Raises the bad scenario's problem (429, Source "RefSuite").
  [[noreturn]] void RaiseProblem();

  CallJournal& journal() { return journal_; }

  // Bookkeeping of instances (called by `Instance`).
  int NextInstanceId();
  // Adds `delta` to the live count of `prog_id`; returns the new count.
  int AddLive(const std::string& prog_id, int delta);
  // Counts one more call of `member` on any instance of `prog_id`.
  int CountCall(const std::string& prog_id, const wb::String& member);

  // Interactions: every creation (failed ones included) and member call of
  // a component, numbered from 1 since the scenario was loaded, in the order
  // they begin. Objects answered as values are made by an answer, not
  // created: their creation is no interaction, calls on them are.
  int NextInteraction();
  int Interactions();
  // The fault that the scenario lays on interaction `seq`, if any.
  std::optional<Injection> InjectionAt(int seq);

  // Changes at every load or reset of the scenario; what a thread assigned
  // under an older one no longer counts (see thread_language.h).
  uint64_t generation();

  int LiveCount(const std::string& prog_id);
  int TotalLive();

 private:
  Suite();
  void EnsureLoaded();                  // requires mutex_
  void SetBroken(std::string problem);  // requires mutex_
  void StartRun();                      // requires mutex_: counts start afresh

  Mutex mutex_;
  bool loaded_ = false;
  std::shared_ptr<const Scenario> scenario_;
  std::string problem_;  // the bad scenario's message, when scenario_ is null
  ObjectMaker maker_;
  int last_id_ = 0;
  std::map<std::string, int> live_;  // by ProgID (upper case)
  std::map<std::pair<std::string, wb::String>, int> calls_;
  int interactions_ = 0;
  uint64_t generation_ = 0;
  CallJournal journal_;
};

}  // namespace refsuite
