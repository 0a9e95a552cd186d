// A run of this same program in a child process under a scenario of its own:
// the reference suite reads its scenario once per process, so a client that
// needs many scenarios (one per injected fault, one per hostile answer) runs
// one child per scenario. The child reports what its host saw on one
// `outcome {json}` line of its standard output; the parent reads that line
// and the child's journal.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/wine/proof/host.h"
#include "tests/wine/proof/journal_reader.h"
#include "win/wide_text.h"

namespace wbproof {

struct ChildRun {
  bool started = false;
  bool timed_out = false;
  DWORD exit_code = 0;
  std::string output;                // the child's standard output
  std::optional<HostError> outcome;  // from its `outcome` line
  std::vector<Entry> journal;        // the suite's journal of the child
};

// Runs this program with `arguments` (after the program name), with
// WB_SUITE_SCENARIO naming a file that holds `scenario` and WB_SUITE_JOURNAL a
// fresh file; both files are removed afterwards.
ChildRun RunChild(const std::wstring& arguments, const std::string& scenario, DWORD timeout_ms);

// In the child: prints the outcome line (`tag {json}`).
void PrintOutcome(const HostError& error, const std::string& tag = "outcome");
// In the parent: the outcome that the child printed under `tag`.
std::optional<HostError> ParseOutcome(const std::string& output,
                                      const std::string& tag = "outcome");

using wb::win::Utf8;

}  // namespace wbproof
