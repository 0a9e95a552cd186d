// The fault sweep: each run of DEVOVIZoruze is first made clean and its
// interactions with the suite (creations and member calls) read from the
// journal; then it is made once more for every interaction, with that one
// interaction failing (a raise with all five fields; a creation failing both
// as an uncreatable ProgID and with a raise). Each time the host's error must
// be exactly what the error handling of the dispatch, the right check and the
// translation makes of it, every instance must be released, the launchers'
// before the call returns and the two cached translation components with the
// CWorkbench. Runs in ENG, so that every error passes through translation.
//
// The allocation sweep fails the task allocations (BSTRs, VARIANT
// conversions) made in the call outside the suite's components, each once,
// through a malloc spy: allocation k, for k = 1, 2, ... until the call no
// longer reaches it. Each run must end in the run's own outcome or in error 7 where the
// traps put it, free every block it took, release every instance, and the
// next call of the same CWorkbench must give the clean outcome. The same
// through IDispatch::Invoke, where the error travels in an EXCEPINFO whose
// texts may then be missing, never its status.
//   sweep_client.exe sweep NAME        (NAME: one of the runs in Sweeps())
//   sweep_client.exe allocations NAME
//   sweep_client.exe allocations-invoke NAME
//   sweep_client.exe child|child-invoke ID [K]
//                                      (one call, task allocation K failing,
//                                       then the next; prints the outcomes)
#include <windows.h>

#include <cguid.h>
#include <initguid.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/child_run.h"
#include "tests/wine/proof/host.h"
#include "tests/wine/proof/journal_reader.h"

namespace {

using wbproof::Entry;
using wbproof::HostError;
using wbtest::Checks;

// ---- The language --------------------------------------------------------------

const char kPrefix[] = "调用门店函数出错。原因：";
const char kCannotCreate[] = "ActiveX component can't create object";

// ENG texts; a translated text is itself a key, so that translating twice
// shows in the result.
const std::map<std::string, std::string>& Phrases() {
  static const auto* phrases = new std::map<std::string, std::string>{
      {kPrefix, "Error calling the store function. Reason: "},
      {"注入的故障", "Injected fault"},
      {"Injected fault", "Injected fault, translated twice"},
      {kCannotCreate, "Cannot create the component"},
      {"Cannot create the component", "Cannot create the component, translated twice"},
      {"积分方案不可用", "Points scheme unavailable"},
      {"Points scheme unavailable", "Points scheme unavailable, translated twice"},
      {"权限服务失败", "Rights service failed"},
      {"Rights service failed", "Rights service failed, translated twice"},
      {"Out of memory", "Memory exhausted"},
      {"Memory exhausted", "Memory exhausted, translated twice"},
  };
  return *phrases;
}

std::string Translate(const std::string& text) {
  auto it = Phrases().find(text);
  return it == Phrases().end() ? "**WaitToBeTranslated**" : it->second;
}

// ---- Errors ----------------------------------------------------------------------

struct Error {
  int number = 0;  // VB number (1..65535) or an HRESULT
  std::string source, description, help_file;
  int help_context = 0;
};

const Error kInjected = {1999, "Injector", "注入的故障", "inject.chm", 77};
// An uncreatable ProgID, as CreateObject reports it.
const Error kUncreatable = {429, "Workbench", kCannotCreate, "", 0};
const Error kOutOfMemory = {7, "Workbench", "Out of memory", "", 0};

Entry ToJson(const Error& e) {
  return {{"number", e.number},
          {"source", e.source},
          {"description", e.description},
          {"helpfile", e.help_file},
          {"helpcontext", e.help_context}};
}

// ---- Sweeps ----------------------------------------------------------------------

struct Sweep {
  std::string name;
  LONG id;
  Entry components;            // the scenario's "components"
  std::optional<Error> error;  // the error the clean run's host gets, before the handlers
  bool error_in_check;         // that error arises inside the right check
};

std::vector<Sweep> Sweeps() {
  const Error plan = {1234, "Loyalty", "积分方案不可用", "loyalty.chm", 42};
  const Error rights = {70, "Gatekeeper", "权限服务失败", "rights.chm", 9};
  // A run is named by its id, and a failing run by a suffix to it.
  auto name = [](LONG id, const char* suffix = "") { return std::to_string(id) + suffix; };
  return {
      {name(wbproof::kBranchSetup), wbproof::kBranchSetup, Entry::object(), std::nullopt, false},
      {name(wbproof::kMemberLookup), wbproof::kMemberLookup, Entry::object(), std::nullopt, false},
      {name(wbproof::kLoyaltyPlan), wbproof::kLoyaltyPlan, Entry::object(), std::nullopt, false},
      {name(wbproof::kReceiptRoll), wbproof::kReceiptRoll, Entry::object(), std::nullopt, false},
      {name(wbproof::kReport), wbproof::kReport, Entry::object(), std::nullopt, false},
      {name(wbproof::kLoyaltyPlan, "-failing"),
       wbproof::kLoyaltyPlan,
       {{"Loyalty.CPlan", {{"Show", {{"raise", ToJson(plan)}}}}}},
       plan,
       false},
      {name(wbproof::kBranchSetup, "-check-failing"),
       wbproof::kBranchSetup,
       {{"Gatekeeper.RightsDesk", {{"AccessCheck", {{"raise", ToJson(rights)}}}}}},
       rights,
       true},
  };
}

std::string Scenario(const Sweep& sweep, const Entry& inject) {
  Entry scenario = {{"language", "ENG"}, {"components", sweep.components}};
  Entry eng = Entry::object();
  for (const auto& [key, text] : Phrases())
    eng[key] = text;
  scenario["phrases"] = {{"ENG", eng}};
  if (!inject.is_null())
    scenario["inject"] = inject;
  return scenario.dump();
}

// ---- Interactions of a clean run ------------------------------------------------

// Where an interaction belongs: the store function's components, the right
// check's, or the n-th translation of the run (0-based).
struct Interaction {
  int seq = 0;
  std::string what;  // "create ProgID" or "get ProgID.Member"
  bool creation = false;
  bool in_check = false;
  int translation = -1;
};

bool IsTranslationComponent(const std::string& prog_id) {
  return prog_id == "Polyglot.LocaleState" || prog_id == "Phrasebook.Catalog";
}

std::vector<Interaction> InteractionsOf(const std::vector<Entry>& journal) {
  std::vector<Interaction> out;
  int translation = 0;
  for (const Entry& e : journal) {
    if (!e.contains("seq"))
      continue;
    Interaction i;
    i.seq = e["seq"].get<int>();
    const std::string event = wbproof::Text(e, "event");
    const std::string prog_id = wbproof::Text(e, "progid");
    i.creation = event == "create" || event == "create-failed";
    i.what = event + " " + prog_id + (i.creation ? "" : "." + wbproof::Text(e, "member"));
    i.in_check = prog_id == "Gatekeeper.RightsDesk" || prog_id == "CtxStore.SessionBag";
    if (IsTranslationComponent(prog_id)) {
      i.translation = translation;
      // A translation of a non-blank text in ENG ends with its lookup.
      if (wbproof::Text(e, "member") == "LoadString")
        ++translation;
    }
    out.push_back(i);
  }
  return out;
}

// ---- What the host must get -------------------------------------------------------

HostError ToHost(const Error& e, const std::string& description, bool in_check) {
  HostError h;
  h.hr = e.number >= 1 && e.number <= 0xFFFF
             ? static_cast<HRESULT>(0x800A0000 | static_cast<unsigned>(e.number))
             : static_cast<HRESULT>(e.number);
  h.source = wb::FromUtf8(in_check ? "Err_CheckAccessRight" : e.source);
  h.description = wb::FromUtf8(description);
  h.help_file = wb::FromUtf8(e.help_file);
  h.help_context = static_cast<DWORD>(e.help_context);
  return h;
}

// The host's error when `error` arises (inside the right check or not) and
// translation number `faulted` (-1: none) fails. The right check translates
// the description, then the dispatch translates its prefix and the
// description it got; a failed translation returns its text unchanged.
HostError Expected(const Error& error, bool in_check, int faulted) {
  int next = 0;
  const auto translate = [&next, faulted](const std::string& text) {
    return next++ == faulted ? text : Translate(text);
  };
  std::string description = error.description;
  if (in_check)
    description = translate(description);
  const std::string prefix = translate(kPrefix);
  description = translate(description);
  return ToHost(error, prefix + description, in_check);
}

// The error that a fault on `i` makes the store function raise.
Error FaultError(const Interaction& i, bool creation_raises) {
  if (!i.creation || creation_raises) {
    // A failed creation is reported as the runtime's 429, with the texts and
    // help that the failing component left.
    Error e = kInjected;
    if (i.creation)
      e.number = 429;
    return e;
  }
  return kUncreatable;
}

// ---- The sweep -----------------------------------------------------------------

std::string CheckLives(const std::vector<Entry>& journal) {
  const size_t mark = wbproof::FindMark(journal, "release");
  if (mark == journal.size())
    return "no release mark in the journal; ";
  std::string problem = wbproof::Leftovers(wbproof::LivesIn(journal));
  for (size_t i = 0; i < journal.size(); ++i) {
    if (wbproof::Text(journal[i], "event") != "release")
      continue;
    const std::string prog_id = wbproof::Text(journal[i], "progid");
    const bool cached = IsTranslationComponent(prog_id);
    if (cached && i < mark)
      problem += prog_id + " released before the CWorkbench; ";
    if (!cached && i > mark)
      problem += prog_id + " still alive when the call returned; ";
  }
  return problem;
}

void RunSweep(Checks& t, const Sweep& sweep) {
  const std::wstring child = L"child " + std::to_wstring(sweep.id);
  const wbproof::ChildRun clean = wbproof::RunChild(child, Scenario(sweep, nullptr), 60000);
  const std::vector<Interaction> interactions = InteractionsOf(clean.journal);
  const HostError clean_expected =
      sweep.error ? Expected(*sweep.error, sweep.error_in_check, -1) : HostError{};
  // The clean run's two checks, then one for each injection point: a
  // creation fails in two ways, any other interaction in one.
  int points = 0;
  for (const Interaction& i : interactions)
    points += i.creation ? 2 : 1;
  t.Plan(2 + points);
  t.Expect(clean.outcome && *clean.outcome == clean_expected && !interactions.empty(),
           sweep.name + ": the clean run",
           clean.outcome ? wbproof::Show(*clean.outcome) + "; want " + wbproof::Show(clean_expected)
                         : "no outcome: " + clean.output.substr(0, 300));
  t.Expect(CheckLives(clean.journal).empty(), sweep.name + ": the clean run releases everything",
           CheckLives(clean.journal));
  std::string listing;
  for (const Interaction& i : interactions)
    listing += " " + std::to_string(i.seq) + ":" + i.what;
  std::printf("# %s: interactions%s\n", sweep.name.c_str(), listing.c_str());

  int covered = 0;
  for (const Interaction& i : interactions) {
    for (bool creation_raises : {true, false}) {
      if (!i.creation && !creation_raises)
        continue;
      Entry inject = {{"at", i.seq}, {"raise", ToJson(kInjected)}};
      if (i.creation)
        inject["creation"] = creation_raises ? "raise" : "uncreatable";
      const wbproof::ChildRun run = wbproof::RunChild(child, Scenario(sweep, inject), 60000);
      const bool in_translation = i.translation >= 0;
      const HostError expected = in_translation
                                     ? Expected(*sweep.error, sweep.error_in_check, i.translation)
                                     : Expected(FaultError(i, creation_raises), i.in_check, -1);
      const std::string name =
          sweep.name + ": fault on " + std::to_string(i.seq) + " " + i.what +
          (i.creation ? (creation_raises ? " (raises)" : " (uncreatable)") : "");
      std::string problem;
      bool hit = false;
      for (const Entry& e : run.journal)
        hit = hit || (e.value("seq", 0) == i.seq && e.value("injected", false));
      if (!run.outcome || run.exit_code != 0) {
        problem = "child exit " + std::to_string(run.exit_code) + ": " + run.output.substr(0, 300);
      } else {
        if (!hit)
          problem += "the fault did not land on " + std::to_string(i.seq) + "; ";
        if (*run.outcome != expected)
          problem +=
              "got " + wbproof::Show(*run.outcome) + "; want " + wbproof::Show(expected) + "; ";
        problem += CheckLives(run.journal);
      }
      covered += problem.empty();
      t.Expect(problem.empty(), name, problem);
    }
  }
  std::printf("# %s: %zu interactions, %d injection points, %d covered\n", sweep.name.c_str(),
              interactions.size(), points, covered);
}

// ---- The allocation sweep --------------------------------------------------------

// Once armed, fails the calling process's task allocation number `k`, once,
// leaving alone those of the suite's own members (RefSuite.dll says when one
// runs). Remembers the blocks it counted until they are freed.
class TaskAllocationFault final : public IMallocSpy {
 public:
  void Arm(int k) { fail_at_ = k; }
  void Disarm() { fail_at_ = 0; }
  bool reached() const { return reached_; }
  size_t held() const { return held_.size(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = iid == IID_IUnknown || iid == IID_IMallocSpy ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }  // lives on the stack
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override {
    counted_ = fail_at_ > 0 && !InTheSuite();
    if (counted_ && ++count_ == fail_at_) {
      reached_ = true;
      counted_ = false;
      return 0;  // the allocation fails
    }
    return size;
  }
  void* STDMETHODCALLTYPE PostAlloc(void* block) override {
    if (counted_ && block)
      held_.insert(block);
    return block;
  }
  void* STDMETHODCALLTYPE PreFree(void* block, BOOL) override {
    held_.erase(block);
    return block;
  }
  void STDMETHODCALLTYPE PostFree(BOOL) override {}
  SIZE_T STDMETHODCALLTYPE PreRealloc(void* block, SIZE_T size, void** out, BOOL) override {
    *out = block;
    return size;
  }
  void* STDMETHODCALLTYPE PostRealloc(void* block, BOOL) override { return block; }
  void* STDMETHODCALLTYPE PreGetSize(void* block, BOOL) override { return block; }
  SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
  void* STDMETHODCALLTYPE PreDidAlloc(void* block, BOOL) override { return block; }
  int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
  void STDMETHODCALLTYPE PreHeapMinimize() override {}
  void STDMETHODCALLTYPE PostHeapMinimize() override {}

 private:
  bool InTheSuite() {
    if (invoking_ == nullptr) {
      if (const HMODULE suite = GetModuleHandleW(L"RefSuite.dll")) {
        invoking_ = reinterpret_cast<int (*)()>(
            reinterpret_cast<void (*)()>(GetProcAddress(suite, "RefSuiteInvoking")));
      }
    }
    return invoking_ != nullptr && invoking_() > 0;
  }

  int (*invoking_)() = nullptr;
  int fail_at_ = 0, count_ = 0;
  bool counted_ = false, reached_ = false;
  std::set<void*> held_;
};

// The ends that an allocation failing in `sweep` may have: the run's own
// outcome or error 7 (raised inside the right check or not), each with one
// of its translations failed or none, or the bare error 7 of a handler that
// itself ran out.
std::vector<HostError> OutOfMemoryEnds(const Sweep& sweep) {
  std::vector<HostError> ends = {ToHost(kOutOfMemory, kOutOfMemory.description, false)};
  for (int faulted = -1; faulted < 3; ++faulted) {
    ends.push_back(sweep.error ? Expected(*sweep.error, sweep.error_in_check, faulted)
                               : HostError{});
    for (bool in_check : {false, true})
      ends.push_back(Expected(kOutOfMemory, in_check, faulted));
  }
  return ends;
}

// The calls on store components with their arguments (the process id and
// instance numbers, which differ from child to child, left out).
std::vector<std::string> StoreCalls(const std::vector<Entry>& journal) {
  std::vector<std::string> out;
  for (const Entry& e : journal) {
    if (!e.contains("seq") || IsTranslationComponent(wbproof::Text(e, "progid")))
      continue;
    Entry args = e.value("args", Entry::array());
    for (Entry& arg : args) {
      if (arg.value("value", Entry()) == e.value("pid", Entry()))
        arg["value"] = "pid";
      if (arg["value"].is_object())
        arg["value"].erase("instance");
    }
    out.push_back(wbproof::Text(e, "event") + " " + e.value("member", "") + args.dump());
  }
  return out;
}

void RunAllocationSweep(Checks& t, const Sweep& sweep, bool invoke) {
  t.Plan(1);
  // Every BSTR from the task allocator, none from oleaut32's cache.
  SetEnvironmentVariableW(L"OANOCACHE", L"1");
  const HostError clean =
      sweep.error ? Expected(*sweep.error, sweep.error_in_check, -1) : HostError{};
  const std::wstring child = invoke ? L"child-invoke " : L"child ";
  const std::vector<std::string> clean_calls = StoreCalls(
      wbproof::RunChild(child + std::to_wstring(sweep.id), Scenario(sweep, nullptr), 60000)
          .journal);
  std::vector<HostError> ends = OutOfMemoryEnds(sweep);
  if (invoke) {
    // No memory for the EXCEPINFO's texts: the status alone still fails.
    for (size_t i = 0, n = ends.size(); i < n; ++i) {
      if (FAILED(ends[i].hr))
        ends.push_back(HostError{ends[i].hr, {}, {}, {}, ends[i].help_context});
    }
  }
  std::string problems;
  int k = 1;
  for (; k < 10000 && problems.empty(); ++k) {
    const wbproof::ChildRun run =
        wbproof::RunChild(child + std::to_wstring(sweep.id) + L" " + std::to_wstring(k),
                          Scenario(sweep, nullptr), 60000);
    const std::string at = "allocation " + std::to_string(k) + ": ";
    if (!run.outcome || run.exit_code != 0) {
      problems =
          at + "child exit " + std::to_string(run.exit_code) + ": " + run.output.substr(0, 300);
      break;
    }
    if (run.output.find("\nreached 1") == std::string::npos)
      break;
    const std::optional<HostError> next = wbproof::ParseOutcome(run.output, "next");
    if (std::find(ends.begin(), ends.end(), *run.outcome) == ends.end())
      problems += at + "got " + wbproof::Show(*run.outcome) + "; ";
    // The next call makes the clean calls; a call that ended as the clean one
    // made them too, so that nothing went missing unnoticed.
    std::vector<std::string> want = clean_calls;
    if (*run.outcome == clean)
      want.insert(want.end(), clean_calls.begin(), clean_calls.end());
    const std::vector<std::string> calls = StoreCalls(run.journal);
    if (calls.size() < want.size() || (*run.outcome == clean && calls.size() != want.size()) ||
        !std::equal(want.rbegin(), want.rend(), calls.rbegin()))
      problems += at + "store calls other than the clean ones; ";
    if (!next || *next != clean)
      problems += at + "the next call got " + (next ? wbproof::Show(*next) : "nothing") + "; ";
    if (run.output.find("\nheld 0") == std::string::npos)
      problems += at + "task memory not freed; ";
    problems += CheckLives(run.journal);
  }
  // A sweep that failed nothing proves nothing (the spy did not register, or
  // the call allocates no task memory): that is a failure naming the path.
  if (k == 1 && problems.empty())
    problems = "the call reached no task allocation to fail";
  t.Expect(problems.empty(),
           sweep.name + ": each of the " + std::to_string(k - 1) + " task allocations of the call" +
               (invoke ? " through IDispatch::Invoke" : "") + " failing once",
           problems);
}

int RunChildCall(LONG id, int fail_at, bool invoke) {
  const std::wstring journal = wbproof::SuiteJournalPath();
  CoInitialize(nullptr);
  TaskAllocationFault spy;
  const bool spying = fail_at > 0 && SUCCEEDED(CoRegisterMallocSpy(&spy));
  HostError outcome, next;
  outcome.hr = E_UNEXPECTED;
  {
    Microsoft::WRL::ComPtr<_CWorkbench> workbench = wbproof::NewWorkbench();
    if (workbench) {
      // Armed for the call alone: what the host reads afterwards is its own.
      SetErrorInfo(0, nullptr);
      if (spying)
        spy.Arm(fail_at);
      if (invoke) {
        outcome = wbproof::CallDispatch(workbench.Get(), id);
        spy.Disarm();
      } else {
        const HRESULT hr = workbench->DEVOVIZoruze(&id);
        spy.Disarm();
        outcome = wbproof::ReadHostError(hr);
      }
      if (spying)
        next = wbproof::CallVtable(workbench.Get(), id);
    }
    wbproof::AppendMark(journal, "release");
  }
  CoUninitialize();
  wbproof::PrintOutcome(outcome);
  if (spying) {
    wbproof::PrintOutcome(next, "next");
    std::printf("reached %d\nheld %zu\n", spy.reached() ? 1 : 0, spy.held());
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool invoke_child = argc >= 2 && std::wcscmp(argv[1], L"child-invoke") == 0;
  if ((argc == 3 || argc == 4) && (invoke_child || std::wcscmp(argv[1], L"child") == 0))
    return RunChildCall(std::wcstol(argv[2], nullptr, 10),
                        argc == 4 ? std::wcstol(argv[3], nullptr, 10) : 0, invoke_child);
  Checks t;
  const std::string name = argc == 3 ? wbproof::Utf8(argv[2]) : "";
  bool found = false;
  for (const Sweep& sweep : Sweeps()) {
    if (argc != 3 || sweep.name != name)
      continue;
    if (std::wcscmp(argv[1], L"sweep") == 0) {
      found = true;
      RunSweep(t, sweep);
    } else if (std::wcscmp(argv[1], L"allocations") == 0 ||
               std::wcscmp(argv[1], L"allocations-invoke") == 0) {
      found = true;
      RunAllocationSweep(t, sweep, std::wcscmp(argv[1], L"allocations-invoke") == 0);
    }
  }
  if (!found) {
    t.Plan(1);
    t.Expect(false, "arguments",
             "usage: sweep_client sweep NAME | allocations[-invoke] NAME | child[-invoke] ID [K]");
  }
  return t.Finish();
}
