#include "bridge/trace_file.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "bridge/win/scoped_handle.h"
#include "bridge/win/wide_text.h"

namespace wb::trace {

namespace {

class WinTraceFile final : public TraceFile {
 public:
  explicit WinTraceFile(win::ScopedHandle file) : file_(std::move(file)) {}

  bool AppendLine(std::string_view line) override {
    std::string whole(line);
    whole += "\r\n";
    // One WriteFile a line on a handle opened for appending only: each line
    // lands at the end as a whole, also beside other processes.
    AcquireSRWLockExclusive(&lock_);
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file_.Get(), whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr);
    ReleaseSRWLockExclusive(&lock_);
    return ok && written == whole.size();
  }

 private:
  win::ScopedHandle file_;
  SRWLOCK lock_ = SRWLOCK_INIT;
};

std::wstring EnvironmentValue(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0)
    return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

std::wstring RegistryValue(const wchar_t* key, const wchar_t* name) {
  DWORD bytes = 0;
  // A REG_EXPAND_SZ value is expanded and read as a REG_SZ one.
  constexpr DWORD kFlags = RRF_RT_REG_SZ;
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, kFlags, nullptr, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      bytes < sizeof(wchar_t)) {
    return {};
  }
  std::wstring value(bytes / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_CURRENT_USER, key, name, kFlags, nullptr, value.data(), &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  value.resize(bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0')
    value.pop_back();
  return value;
}

}  // namespace

std::string ConfiguredPath() {
  std::wstring path = EnvironmentValue(L"WORKBENCH_TRACE");
  if (path.empty())
    path = RegistryValue(L"Software\\Workbench", L"TraceFile");
  return win::Utf8(path);
}

std::unique_ptr<TraceFile> OpenTraceFile(const std::string& path) {
  // Appending only, shared for reading (a support engineer may watch it) and
  // for writing (other processes of the store may trace to it too).
  win::ScopedHandle file(CreateFileW(win::Wide(path).c_str(), FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return nullptr;
  return std::make_unique<WinTraceFile>(std::move(file));
}

std::string LocalTimeStamp() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  char text[80];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  return text;
}

uint64_t CurrentThreadId() {
  return GetCurrentThreadId();
}

}  // namespace wb::trace
