#include "trace/trace_file.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "trace/trace_path.h"
#include "win/scoped_handle.h"
#include "win/scoped_local_alloc.h"
#include "win/wide_text.h"

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

  std::optional<uint64_t> Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.Get(), &size) || size.QuadPart < 0)
      return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
  }

  // A file that ends inside a line gets its line end.
  bool EndTornLine() {
    const std::optional<uint64_t> size = Size();
    if (!size)
      return false;
    if (*size == 0)
      return true;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(*size - 1);
    at.OffsetHigh = static_cast<DWORD>((*size - 1) >> 32);
    char last = 0;
    DWORD read = 0;
    if (!ReadFile(file_.Get(), &last, 1, &read, &at) || read != 1)
      return false;
    return last == '\n' || AppendLine({});
  }

 private:
  win::ScopedHandle file_;
  SRWLOCK lock_ = SRWLOCK_INIT;
};

// The user of the process's token, as a copy of its SID.
std::vector<BYTE> ProcessUser() {
  HANDLE raw = nullptr;
  if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw) &&
      !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
    return {};
  const win::ScopedHandle token(raw);
  DWORD bytes = 0;
  GetTokenInformation(token.Get(), ::TokenUser, nullptr, 0, &bytes);
  std::vector<BYTE> buffer(bytes);
  if (bytes == 0 || !GetTokenInformation(token.Get(), ::TokenUser, buffer.data(), bytes, &bytes))
    return {};
  const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  const BYTE* first = static_cast<const BYTE*>(sid);
  return std::vector<BYTE>(first, first + GetLengthSid(sid));
}

// Whether the calling thread's token holds the well-known group `kind`.
bool TokenHolds(WELL_KNOWN_SID_TYPE kind) {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof sid;
  BOOL member = FALSE;
  return CreateWellKnownSid(kind, nullptr, sid, &size) &&
         CheckTokenMembership(nullptr, sid, &member) && member;
}

// A new file's security: full access for the user, SYSTEM and the
// Administrators, none inherited from its folder, nobody else.
win::ScopedLocalAlloc PrivateFileSecurity(std::vector<BYTE>& user) {
  LPWSTR user_text = nullptr;
  if (user.empty() || !ConvertSidToStringSidW(user.data(), &user_text))
    return {};
  const win::ScopedLocalAllocTyped<wchar_t> owned_text(user_text);
  const std::wstring sddl =
      std::wstring(L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;") + user_text + L")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    return {};
  return win::ScopedLocalAlloc(descriptor);
}

// Whether the file behind `file` is the user's: owned by the user, or by the
// Administrators when the process runs with them (an elevated process's
// files are theirs).
bool OwnedByUser(HANDLE file, std::vector<BYTE>& user) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  const win::ScopedLocalAlloc owned(descriptor);
  if (owner == nullptr || !IsValidSid(owner))
    return false;
  if (!user.empty() && EqualSid(owner, user.data()))
    return true;
  return IsWellKnownSid(owner, WinBuiltinAdministratorsSid) &&
         TokenHolds(WinBuiltinAdministratorsSid);
}

// The drive's kind allows a trace: a disk of this machine.
bool OnLocalDisk(const std::wstring& path) {
  // "X:\..." or "\\?\X:\..." (trace/trace_path.h let nothing else through).
  const size_t start = path.size() > 4 && path[2] == L'?' ? 4 : 0;
  const std::wstring root = path.substr(start, 2) + L"\\";
  switch (GetDriveTypeW(root.c_str())) {
    case DRIVE_FIXED:
    case DRIVE_REMOVABLE:
    case DRIVE_RAMDISK:
      return true;
    default:
      return false;
  }
}

// Makes the folder that holds `path` when it is missing, the last one alone
// (CreateDirectoryW makes no folder above it). It is the checked name's own
// folder, so its text passed every check; it gets its parent's inherited
// security, as any new folder there would.
void MakeLastFolder(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  const std::wstring folder = path.substr(0, separator);
  // "X:" or "\\?\X:": the drive's root is there already.
  if (separator == std::wstring::npos || folder.back() == L':')
    return;
  CreateDirectoryW(folder.c_str(), nullptr);
}

}  // namespace

std::unique_ptr<TraceFile> OpenTraceFile(const std::string& path, bool make_folder) {
  const std::wstring name = win::Wide(path);
  if (CheckTracePath(win::AsStringView(name)) != PathProblem::kNone || !OnLocalDisk(name))
    return nullptr;
  if (make_folder)
    MakeLastFolder(name);
  std::vector<BYTE> user = ProcessUser();
  win::ScopedLocalAlloc security = PrivateFileSecurity(user);
  if (!security)
    return nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof attributes, security.Get(), FALSE};
  // Appending (and reading its last byte), shared for reading (a support
  // engineer may watch it), for writing (other processes of the store may
  // trace to it too) and for deleting (it can be moved or removed while the
  // store runs). A link at the end of the path is opened as the link, so
  // that it is seen and refused; a server at the other end of a name that
  // slipped through gets an anonymous caller, never the process's token.
  win::ScopedHandle file(CreateFileW(
      name.c_str(), FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | READ_CONTROL,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes, OPEN_ALWAYS,
      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | SECURITY_SQOS_PRESENT |
          SECURITY_ANONYMOUS,
      nullptr));
  if (!file)
    return nullptr;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  if (GetFileType(file.Get()) != FILE_TYPE_DISK)
    return nullptr;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      info.nNumberOfLinks > 1)
    return nullptr;
  if (existed && !OwnedByUser(file.Get(), user))
    return nullptr;
  auto trace = std::make_unique<WinTraceFile>(std::move(file));
  if (!trace->EndTornLine())
    return nullptr;
  return trace;
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
