// What the trace file opens, seen from the system's side: each row runs a
// host in a child process (the trace is read once per process) with
// WORKBENCH_TRACE naming a place that a process of the same user could have
// prepared, and looks at what the child did to it. The host's answer must be
// the same every time.
//   trace_probe.exe                  the rows
//   trace_probe.exe child [rename]   one host call, its outcome on stdout;
//                                    then renames the trace file, still open
//   trace_probe.exe writer PID N     one call, then many once the parent PID
//                                    says go, beside writer 1-N
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/wine/lib/checks.h"
#include "tests/wine/proof/child_run.h"
#include "tests/wine/proof/host.h"
#include "win/scoped_handle.h"

namespace {

using wb::win::ScopedHandle;

std::string ReadAll(const std::wstring& path) {
  const ScopedHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  char buffer[4096];
  DWORD got = 0;
  std::string text;
  while (file && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
    text.append(buffer, got);
  return text;
}

// The events of the writers of parent `pid`: writer `n` ready, and go.
std::wstring WriterEvent(const std::wstring& pid, const std::wstring& what) {
  return L"wb-trace-probe-" + pid + L"-" + what;
}

// A writer: its trace is open (one call) before any writer fills the file.
int Writer(const std::wstring& pid, const std::wstring& n) {
  CoInitialize(nullptr);
  const auto workbench = wbproof::NewWorkbench();
  if (workbench)
    wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup);
  const ScopedHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, WriterEvent(pid, n).c_str()));
  const ScopedHandle go(OpenEventW(SYNCHRONIZE, FALSE, WriterEvent(pid, L"go").c_str()));
  SetEvent(ready.Get());
  WaitForSingleObject(go.Get(), 30000);
  for (int i = 0; workbench && i < 20; ++i)
    wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup);
  CoUninitialize();
  return 0;
}

// Makes `letter` a drive of `kind` (DRIVE_REMOTE, ...) on the Unix folder of
// `folder`, as winecfg does; with no folder, removes it. Wine's own control
// of its mount manager: the way to give a drive a kind under Wine.
bool WineDrive(wchar_t letter, UINT kind, const std::wstring& folder) {
  struct Drive {  // Wine's struct mountmgr_unix_drive, and the Unix path
    ULONG size, type, fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset, device_offset, label_offset;
    char path[MAX_PATH * 3];
  } drive{};
  using ToUnix = char*(CDECL*)(const wchar_t*);
  const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!folder.empty()) {
    char* unix_path = to_unix ? to_unix(folder.c_str()) : nullptr;
    if (!unix_path)
      return false;
    lstrcpynA(drive.path, unix_path, sizeof drive.path);
    HeapFree(GetProcessHeap(), 0, unix_path);
    drive.mount_point_offset = offsetof(Drive, path);
  }
  drive.size = static_cast<ULONG>(offsetof(Drive, path) + strlen(drive.path) + 1);
  drive.type = kind;
  drive.letter = letter;
  const ScopedHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
  const DWORD define = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
  DWORD got = 0;
  return manager &&
         DeviceIoControl(manager.Get(), define, &drive, drive.size, nullptr, 0, &got, nullptr);
}

// Who the DACL of `path` allows anything: "owner" for its owner, the SID
// (or SDDL's short name) of everyone else, one each; "" when unreadable.
std::string Allowed(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  wchar_t* text = nullptr;
  const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr, nullptr,
                            &descriptor) != ERROR_SUCCESS ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts,
                                                            &text, nullptr))
    return "";
  // "O:<owner>D:<flags>(A;;FA;;;SY)(...)"
  const std::string sddl = wbproof::Utf8(text);
  LocalFree(text);
  LocalFree(descriptor);
  const std::string owner = sddl.substr(2, sddl.find("D:") - 2);
  std::set<std::string> sids;
  for (size_t end = sddl.find(')'); end != std::string::npos; end = sddl.find(')', end + 1)) {
    const size_t start = sddl.rfind(';', end) + 1;
    const std::string sid = sddl.substr(start, end - start);
    sids.insert(sddl[sddl.rfind('(', end) + 1] == 'A' ? (sid == owner ? "owner" : sid) : "deny");
  }
  std::string listed;
  for (const std::string& sid : sids)
    listed += sid + " ";
  return listed;
}

int Child(bool rename) {
  CoInitialize(nullptr);
  SetThreadErrorMode(SEM_NOOPENFILEERRORBOX, nullptr);
  wbproof::HostError outcome{E_UNEXPECTED, {}, {}, {}, 0};
  if (const auto workbench = wbproof::NewWorkbench())
    outcome = wbproof::CallVtable(workbench.Get(), wbproof::kMemberLookup);
  CoUninitialize();
  wbproof::PrintOutcome(outcome);
  std::printf("error mode %lu\n", GetThreadErrorMode());
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
  if (argc == 4 && std::wcscmp(argv[1], L"writer") == 0)
    return Writer(argv[2], argv[3]);
  wbtest::Checks t;
  t.Plan(9);
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring stem =
      std::wstring(temp) + L"wb-trace-probe-" + std::to_wstring(GetCurrentProcessId());
  const auto run = [&](const std::wstring& trace, bool rename) {
    SetEnvironmentVariableW(L"WORKBENCH_TRACE", trace.c_str());
    const wbproof::ChildRun child =
        wbproof::RunChild(rename ? L"child rename" : L"child", "{}", 30000);
    SetEnvironmentVariableW(L"WORKBENCH_TRACE", nullptr);
    const bool same = child.outcome && *child.outcome == wbproof::HostError{};
    return same ? child.output : "the host got another answer: " + child.output.substr(0, 200);
  };

  // A pipe whose server waits for a client, as one that wants the caller's token.
  const std::wstring pipe = L"\\\\.\\pipe\\" + stem.substr(stem.rfind(L'\\') + 1);
  const ScopedHandle server(CreateNamedPipeW(pipe.c_str(),
                                             PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                             PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr));
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

  // A file that ends inside a line (a writer that died halfway): the next
  // line starts on a line of its own.
  const std::wstring torn = stem + L"-torn.jsonl";
  ScopedHandle(CreateFileW(torn.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  {
    const ScopedHandle file(
        CreateFileW(torn.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD wrote = 0;
    WriteFile(file.Get(), "{\"torn", 6, &wrote, nullptr);
  }
  got = run(torn, false);
  t.Expect(ReadAll(torn).starts_with("{\"torn\r\n{\"time\""),
           "a torn last line gets its line end before the next line", ReadAll(torn).substr(0, 40));

  // A new file: the user, SYSTEM and the Administrators, nobody else. Wine
  // keeps no descriptor of its own: it makes the file's Unix mode from the
  // DACL and reads one back from the mode (the user and SYSTEM, and Everyone
  // for what others may do), so that only "nobody else, the user too" shows.
  const std::wstring fresh = stem + L"-fresh.jsonl";
  got = run(fresh, false);
  got = Allowed(fresh);
  t.Expect(got == "BA SY owner " || got == "SY owner ",
           "a new file allows its user, SYSTEM and the Administrators alone", got);

  // Drives of other kinds, as Wine's mount manager gives them: a network
  // drive is refused; a removable one is traced to, and the host's thread
  // keeps the error mode that it had.
  wchar_t letter = L'Q';
  while (letter > L'E' && (GetLogicalDrives() & (1u << (letter - L'A'))))
    --letter;
  const std::wstring root = std::wstring(1, letter) + L":\\", folder = stem + L"-drive";
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const UINT kind : {DRIVE_REMOTE, DRIVE_REMOVABLE}) {
    const bool made = WineDrive(letter, kind, folder) && GetDriveTypeW(root.c_str()) == kind;
    got = run(root + L"trace.jsonl", false);
    const std::string written = ReadAll(folder + L"\\trace.jsonl");
    WineDrive(letter, DRIVE_NO_ROOT_DIR, {});
    DeleteFileW((folder + L"\\trace.jsonl").c_str());
    if (kind == DRIVE_REMOTE) {
      t.Expect(made && got.find("another") == std::string::npos && written.empty(),
               "a network drive is refused", made ? got : "no network drive");
    } else {
      t.Expect(made && !written.empty() && got.find("\nerror mode 32768") != std::string::npos,
               "a removable drive is traced to, the thread's error mode kept",
               made ? got : "no removable drive");
    }
  }
  RemoveDirectoryW(folder.c_str());

  // Another process holds the writers' byte (2^62): a line waits a while,
  // then the trace stops, and the host's call goes on.
  const std::wstring locked = stem + L"-locked.jsonl";
  got = "not locked";
  {
    const ScopedHandle holder(CreateFileW(locked.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          CREATE_ALWAYS, 0, nullptr));
    OVERLAPPED writers{};
    writers.OffsetHigh = 0x40000000;
    if (LockFileEx(holder.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                   &writers))
      got = run(locked, false);
  }
  t.Expect(
      got != "not locked" && got.find("another") == std::string::npos && ReadAll(locked).empty(),
      "a file whose writers' lock another process holds is not written", got.substr(0, 200));

  // Two processes with a small limit: one trace-full line ends the file.
  const std::wstring shared = stem + L"-shared.jsonl";
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  const ScopedHandle go(CreateEventW(nullptr, TRUE, FALSE, WriterEvent(pid, L"go").c_str()));
  SetEnvironmentVariableW(L"WORKBENCH_TRACE", shared.c_str());
  SetEnvironmentVariableW(L"WORKBENCH_TRACE_LIMIT", L"4000");
  std::vector<ScopedHandle> ready, writers;
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  for (const wchar_t* n : {L"1", L"2"}) {
    ready.emplace_back(CreateEventW(nullptr, TRUE, FALSE, WriterEvent(pid, n).c_str()));
    std::wstring line = L"\"" + std::wstring(self) + L"\" writer " + pid + L" " + n;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
      CloseHandle(process.hThread);
      writers.emplace_back(process.hProcess);
    }
  }
  SetEnvironmentVariableW(L"WORKBENCH_TRACE", nullptr);
  SetEnvironmentVariableW(L"WORKBENCH_TRACE_LIMIT", nullptr);
  const HANDLE both[] = {ready[0].Get(), ready[1].Get()};
  const bool started =
      writers.size() == 2 && WaitForMultipleObjects(2, both, TRUE, 30000) == WAIT_OBJECT_0;
  SetEvent(go.Get());
  for (const ScopedHandle& writer : writers)
    WaitForSingleObject(writer.Get(), 40000);
  std::string events;
  std::istringstream lines(ReadAll(shared));
  for (std::string line; std::getline(lines, line);)
    events += line.find("\"event\":\"trace-full\"") != std::string::npos ? 'f' : '.';
  t.Expect(started && events.ends_with('f') && events.find('f') == events.size() - 1,
           "two processes, one limit: one trace-full line ends the file", events);
  for (const std::wstring& file : {system, link, moving + L".moved", torn, fresh, locked, shared})
    DeleteFileW(file.c_str());
  return t.Finish();
}
