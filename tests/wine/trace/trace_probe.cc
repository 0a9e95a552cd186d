// What the trace file opens, seen from the system's side: each row runs a
// host in a child process (the trace is read once per process) with
// WORKBENCH_TRACE naming a place that a process of the same user could have
// prepared, and looks at what the child did to it. The host's answer must be
// the same every time.
//   trace_probe.exe                  the rows
//   trace_probe.exe child [rename]   one host call, its outcome on stdout;
//                                    then renames the trace file, still open
#include <windows.h>

#include <cstdio>
#include <string>

#include "win/scoped_handle.h"
#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/child_run.h"
#include "tests/wine/proof/host.h"

namespace {

using wb::win::ScopedHandle;

std::string ReadAll(const std::wstring& path) {
  const ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  char buffer[4096];
  DWORD got = 0;
  std::string text;
  while (file && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  return text;
}

int Child(bool rename) {
  CoInitialize(nullptr);
  wbproof::HostError outcome{E_UNEXPECTED, {}, {}, {}, 0};
  if (const auto workbench = wbproof::NewWorkbench())
    outcome = wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup);
  CoUninitialize();
  wbproof::PrintOutcome(outcome);
  wchar_t path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"WORKBENCH_TRACE", path, MAX_PATH);
  if (rename)
    std::printf("renamed %d\n", MoveFileExW(path, (std::wstring(path) + L".moved").c_str(), 0));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wcscmp(argv[1], L"child") == 0)
    return Child(argc == 3);
  wbtest::Checks t;
  t.Plan(3);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring stem =
      std::wstring(temp) + L"wb-trace-probe-" + std::to_wstring(GetCurrentProcessId());
  const auto run = [&](const std::wstring& trace, bool rename) {
    SetEnvironmentVariableW(L"WORKBENCH_TRACE", trace.c_str());
    const wbproof::ChildRun child = wbproof::RunChild(rename ? L"child rename" : L"child", "{}",
                                                      30000);
    SetEnvironmentVariableW(L"WORKBENCH_TRACE", nullptr);
    const bool same = child.outcome && *child.outcome == wbproof::HostError{};
    return same ? child.output : "the host got another answer: " + child.output.substr(0, 200);
  };

  // A pipe whose server waits for a client, as one that wants the caller's token.
  const std::wstring pipe = L"\\\\.\\pipe\\" + stem.substr(stem.rfind(L'\\') + 1);
  const ScopedHandle server(CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_INBOUND |
                                                 FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1, 4096,
                                             4096, 0, nullptr));
  const ScopedHandle connected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  OVERLAPPED waiting{};
  waiting.hEvent = connected.Get();
  ConnectNamedPipe(server.Get(), &waiting);
  std::string got = run(pipe, false);
  t.Expect(server && got.find("another") == std::string::npos &&
               WaitForSingleObject(connected.Get(), 0) == WAIT_TIMEOUT,
           "a named pipe is never connected to", got);

  // A second name of a file the trace must not touch.
  const std::wstring system = stem + L"-system.dat", link = stem + L"-linked.jsonl";
  ScopedHandle(CreateFileW(system.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const bool linked = CreateHardLinkW(link.c_str(), system.c_str(), nullptr);
  got = run(link, false);
  t.Expect(linked && got.find("another") == std::string::npos && ReadAll(system).empty(),
           "a file with a second name (a hard link) is not written", got);

  // The store runs on; support moves the trace away meanwhile.
  const std::wstring moving = stem + L"-moving.jsonl";
  got = run(moving, true);
  t.Expect(got.find("\nrenamed 1") != std::string::npos && !ReadAll(moving + L".moved").empty(),
           "a file can be renamed while a host traces to it", got.substr(0, 200));
  for (const std::wstring& file : {system, link, moving + L".moved"})
    DeleteFileW(file.c_str());
  return t.Finish();
}
