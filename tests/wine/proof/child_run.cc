#include "tests/wine/proof/child_run.h"

#include <cstdio>
#include <memory>

#include "core/text.h"
#include "win/scoped_handle.h"

namespace wbproof {

namespace {

using wb::win::ScopedHandle;

// An environment variable set for the child and put back afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD got = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
    if (got > 0 && got < MAX_PATH * 2)
      old_ = std::wstring(buffer, got);
    SetEnvironmentVariableW(name, value.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  ~ScopedEnv() { SetEnvironmentVariableW(name_, old_ ? old_->c_str() : nullptr); }

 private:
  const wchar_t* name_;
  std::optional<std::wstring> old_;
};

// A temporary file, removed on destruction.
class TempFile {
 public:
  explicit TempFile(const wchar_t* prefix) {
    wchar_t dir[MAX_PATH], name[MAX_PATH];
    if (GetTempPathW(MAX_PATH, dir) && GetTempFileNameW(dir, prefix, 0, name))
      path_ = name;
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (!path_.empty())
      DeleteFileW(path_.c_str());
  }
  const std::wstring& path() const { return path_; }
  bool Write(const std::string& text) const {
    FILE* file = _wfopen(path_.c_str(), L"wb");
    if (file == nullptr)
      return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && ok;
  }

 private:
  std::wstring path_;
};

std::wstring ThisProgram() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD got = GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
  path.resize(got);
  return path;
}

}  // namespace

std::optional<HostError> ParseOutcome(const std::string& output, const std::string& name) {
  const std::string tag = name + " ";
  size_t at = output.find("\n" + tag);
  at = output.compare(0, tag.size(), tag) == 0 ? 0 : (at == std::string::npos ? at : at + 1);
  if (at == std::string::npos)
    return std::nullopt;
  const size_t end = output.find('\n', at);
  const Entry json =
      Entry::parse(output.substr(at + tag.size(), end - at - tag.size()), nullptr, false);
  if (json.is_discarded() || !json.is_object())
    return std::nullopt;
  HostError error;
  error.hr = static_cast<HRESULT>(json.value("hr", 0LL));
  error.source = wb::FromUtf8(json.value("source", ""));
  error.description = wb::FromUtf8(json.value("description", ""));
  error.help_file = wb::FromUtf8(json.value("helpfile", ""));
  error.help_context = static_cast<DWORD>(json.value("helpcontext", 0LL));
  return error;
}


ChildRun RunChild(const std::wstring& arguments, const std::string& scenario, DWORD timeout_ms) {
  ChildRun run;
  TempFile scenario_file(L"wbs"), journal_file(L"wbj");
  if (scenario_file.path().empty() || journal_file.path().empty() || !scenario_file.Write(scenario))
    return run;
  ScopedEnv scenario_env(L"WB_SUITE_SCENARIO", scenario_file.path());
  ScopedEnv journal_env(L"WB_SUITE_JOURNAL", journal_file.path());

  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  ScopedHandle read_end, write_end;
  if (!CreatePipe(read_end.Receive(), write_end.Receive(), &inherit, 0))
    return run;
  SetHandleInformation(read_end.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end.Get();
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  const std::wstring program = ThisProgram();
  std::wstring command = L"\"" + program + L"\" " + arguments;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &info))
    return run;
  run.started = true;
  const ScopedHandle process(info.hProcess), thread(info.hThread);
  write_end.Reset();  // the child holds the only write end now: EOF when it ends

  // Reads while the child runs (a full pipe would block it), within the time
  // limit; a child that overstays is ended.
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  char buffer[65536];
  for (;;) {
    DWORD available = 0, got = 0;
    const bool ended = WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
    while (PeekNamedPipe(read_end.Get(), nullptr, 0, nullptr, &available, nullptr) &&
           available > 0 && ReadFile(read_end.Get(), buffer, sizeof buffer, &got, nullptr) &&
           got > 0)
      run.output.append(buffer, got);
    if (ended)
      break;
    if (GetTickCount64() > deadline) {
      run.timed_out = true;
      TerminateProcess(process.Get(), 1);
      WaitForSingleObject(process.Get(), 5000);
      break;
    }
    Sleep(2);
  }
  GetExitCodeProcess(process.Get(), &run.exit_code);
  run.outcome = ParseOutcome(run.output);
  run.journal = ReadJournal(journal_file.path());
  return run;
}

void PrintOutcome(const HostError& error, const std::string& tag) {
  const Entry json = {{"hr", static_cast<long long>(error.hr)},
                      {"source", wb::ToUtf8(error.source)},
                      {"description", wb::ToUtf8(error.description)},
                      {"helpfile", wb::ToUtf8(error.help_file)},
                      {"helpcontext", static_cast<long long>(error.help_context)}};
  const std::string line = tag + " " + json.dump() + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

}  // namespace wbproof
