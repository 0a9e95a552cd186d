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

#include "bridge/automation_object.h"
#include "bridge/variant.h"
#include "refsuite/journal.h"
#include "refsuite/scenario.h"

namespace refsuite {

class Instance;

class Suite {
 public:
  // Wraps an instance into the binding's object (native object or IDispatch).
  using ObjectMaker = std::function<wb::AutomationObject(std::unique_ptr<Instance>)>;

  static Suite& Get();

  void SetObjectMaker(ObjectMaker maker);

  // Creates a component of the catalogue under the scenario; raises through
  // `wb::Err` (429, the scenario's error, or the scenario file's problem).
  wb::AutomationObject Create(wb::StringView prog_id);

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

  int LiveCount(const std::string& prog_id);
  int TotalLive();

 private:
  Suite();
  void EnsureLoaded();                  // requires mutex_
  void SetBroken(std::string problem);  // requires mutex_

  Mutex mutex_;
  bool loaded_ = false;
  std::shared_ptr<const Scenario> scenario_;
  std::string problem_;  // the bad scenario's message, when scenario_ is null
  ObjectMaker maker_;
  int last_id_ = 0;
  std::map<std::string, int> live_;  // by ProgID (upper case)
  std::map<std::pair<std::string, wb::String>, int> calls_;
  CallJournal journal_;
};

}  // namespace refsuite
