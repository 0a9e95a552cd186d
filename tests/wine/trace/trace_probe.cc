// What the trace file opens and how, seen from the system's side: each row
// runs a host in a child process (the trace is read once per process) with
// WORKBENCH_TRACE naming a place that a process of the same user could have
// put there, and looks at what the child did to it. The host's answer must
// be the same every time.
//   trace_probe.exe            the rows
//   trace_probe.exe child [rename]
//                              one host call, the outcome on stdout; then,
//                              with the trace file still open, renames it
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bridge/win/scoped_handle.h"
#include "bridge/win/scoped_local_alloc.h"
#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/child_run.h"
#include "tests/wine/proof/host.h"

namespace {

using wb::win::ScopedHandle;
using wbproof::HostError;

std::wstring Folder() {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return std::wstring(dir) + L"wb-trace-probe-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
}

std::string ReadAll(const std::wstring& path) {
  const ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (file && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  return text;
}

bool Write(const std::wstring& path, const std::string& text) {
  const ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written,
                           nullptr);
}

// "SY:FA BA:FA <user>:FA, protected" for the new file's DACL, as SDDL pieces.
std::wstring DaclText(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return L"unreadable";
  const wb::win::ScopedLocalAlloc owned(descriptor);
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr))
    return L"unconvertible";
  const wb::win::ScopedLocalAllocTyped<wchar_t> owned_text(text);
  return text;
}

std::wstring UserSidText() {
  HANDLE raw = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw);
  const ScopedHandle token(raw);
  BYTE buffer[512];
  DWORD bytes = 0;
  LPWSTR text = nullptr;
  if (!token || !GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &bytes) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text))
    return L"?";
  const wb::win::ScopedLocalAllocTyped<wchar_t> owned(text);
  return text;
}

// The pipe server of the first row, waiting for a client.
struct PipeServer {
  ScopedHandle server;
  ScopedHandle connected;
  OVERLAPPED overlapped{};
} g_pipe;

struct Row {
  const char* name;
  bool rename;  // the child renames the trace file after its call
  // Makes the place and returns the name for WORKBENCH_TRACE.
  std::function<std::wstring(const std::wstring& folder)> prepare;
  // What must hold afterwards; "" when it does, else what is wrong.
  std::function<std::string(const std::wstring& folder, const std::string& child_output)> check;
};

std::vector<Row> Rows() {
  return {
      {"a named pipe is never connected to",
       false,
       [](const std::wstring&) {
         const std::wstring name =
             L"\\\\.\\pipe\\wb-trace-probe-" + std::to_wstring(GetCurrentProcessId());
         g_pipe.server.Reset(CreateNamedPipeW(name.c_str(),
                                              PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                              PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr));
         g_pipe.connected.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
         g_pipe.overlapped.hEvent = g_pipe.connected.Get();
         ConnectNamedPipe(g_pipe.server.Get(), &g_pipe.overlapped);
         return name;
       },
       [](const std::wstring&, const std::string&) -> std::string {
         if (!g_pipe.server)
           return "no pipe to offer";
         return WaitForSingleObject(g_pipe.connected.Get(), 0) == WAIT_TIMEOUT
                    ? ""
                    : "the trace connected to the pipe";
       }},
      {"a new file is readable by the user, SYSTEM and the Administrators alone",
       false,
       [](const std::wstring& folder) { return folder + L"new.jsonl"; },
       [](const std::wstring& folder, const std::string&) -> std::string {
         if (ReadAll(folder + L"new.jsonl").empty())
           return "nothing was traced";
         // Wine keeps no DACL of its own on a file: it reads one back from
         // the Unix mode, which has no place for the Administrators. What
         // it can show: nobody but SYSTEM, the Administrators and the user
         // is granted anything.
         const std::wstring dacl = DaclText(folder + L"new.jsonl");
         const std::wstring user = UserSidText();
         bool user_granted = false;
         for (size_t at = dacl.find(L'('); at != std::wstring::npos; at = dacl.find(L'(', at + 1)) {
           const size_t end = dacl.find(L')', at);
           const std::wstring ace = dacl.substr(at + 1, end - at - 1);
           const std::wstring sid = ace.substr(ace.rfind(L';') + 1);
           if (ace.starts_with(L"A;") && sid != L"SY" && sid != L"BA" && sid != user)
             return "granted to " + wbproof::Utf8(sid) + ": " + wbproof::Utf8(dacl);
           user_granted = user_granted || (ace.starts_with(L"A;") && sid == user);
         }
         return user_granted ? "" : "not granted to the user: " + wbproof::Utf8(dacl);
       }},
      {"a file can be renamed while a process traces to it",
       true,
       [](const std::wstring& folder) { return folder + L"moving.jsonl"; },
       [](const std::wstring& folder, const std::string& output) -> std::string {
         if (output.find("\nrenamed 1") == std::string::npos)
           return "the host could not rename it: " + output.substr(0, 200);
         return ReadAll(folder + L"moving.jsonl.moved").empty() ? "nothing was traced" : "";
       }},
      {"a file with another name for it (a hard link) is not written",
       false,
       [](const std::wstring& folder) {
         Write(folder + L"system.dat", "system\n");
         CreateHardLinkW((folder + L"linked.jsonl").c_str(), (folder + L"system.dat").c_str(),
                         nullptr);
         return folder + L"linked.jsonl";
       },
       [](const std::wstring& folder, const std::string&) -> std::string {
         const std::string text = ReadAll(folder + L"system.dat");
         return text == "system\n" ? "" : "the linked file now holds " + text.substr(0, 100);
       }},
      {"a torn last line is ended before the first new one",
       false,
       [](const std::wstring& folder) {
         Write(folder + L"torn.jsonl", "{\"event\": \"host-en");
         return folder + L"torn.jsonl";
       },
       [](const std::wstring& folder, const std::string&) -> std::string {
         const std::string text = ReadAll(folder + L"torn.jsonl");
         return text.starts_with("{\"event\": \"host-en\r\n{\"time\"") ? ""
                                                                      : text.substr(0, 60);
       }},
  };
}

int Child(bool rename) {
  CoInitialize(nullptr);
  HostError outcome;
  outcome.hr = E_UNEXPECTED;
  {
    const auto workbench = wbproof::NewWorkbench();
    if (workbench)
      outcome = wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup);
  }
  CoUninitialize();
  wbproof::PrintOutcome(outcome);
  if (!rename)
    return 0;
  // Still loaded, the trace file still open: it can be moved away.
  wchar_t path[MAX_PATH] = {};
  GetEnvironmentVariableW(L"WORKBENCH_TRACE", path, MAX_PATH);
  const std::wstring moved = std::wstring(path) + L".moved";
  std::printf("renamed %d\n", MoveFileExW(path, moved.c_str(), 0) ? 1 : 0);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 2 && std::wcscmp(argv[1], L"child") == 0)
    return Child(argc == 3 && std::wcscmp(argv[2], L"rename") == 0);
  wbtest::Checks t;
  const std::vector<Row> rows = Rows();
  t.Plan(static_cast<int>(rows.size()));
  const std::wstring folder = Folder();
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const Row& row : rows) {
    const std::wstring trace = row.prepare(folder);
    SetEnvironmentVariableW(L"WORKBENCH_TRACE", trace.c_str());
    const wbproof::ChildRun run =
        wbproof::RunChild(row.rename ? L"child rename" : L"child", "{}", 30000);
    SetEnvironmentVariableW(L"WORKBENCH_TRACE", nullptr);
    std::string problem;
    if (!run.outcome || !(*run.outcome == HostError{}))
      problem = "the host got another answer: " + run.output.substr(0, 200);
    else
      problem = row.check(folder, run.output);
    t.Expect(problem.empty(), row.name, problem);
  }
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
    DeleteFileW((folder + found.cFileName).c_str());
  if (search != INVALID_HANDLE_VALUE)
    FindClose(search);
  RemoveDirectoryW(folder.c_str());
  return t.Finish();
}
