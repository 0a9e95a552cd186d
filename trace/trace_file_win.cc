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

  bool Lock() override {
    AcquireSRWLockExclusive(&lock_);
    // A byte far past any real end: other processes' writers take the same
    // one, and no read or write of the file ever touches it. Polled, so that
    // a writer that hangs holding it delays a host's call by the wait alone.
    const ULONGLONG until = GetTickCount64() + kLockWaitMs;
    do {
      OVERLAPPED at = LockedByte();
      if (LockFileEx(file_.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &at))
        return true;
      Sleep(1);
    } while (GetTickCount64() < until);
    ReleaseSRWLockExclusive(&lock_);
    return false;
  }

  void Unlock() override {
    OVERLAPPED at = LockedByte();
    UnlockFileEx(file_.Get(), 0, 1, 0, &at);
    ReleaseSRWLockExclusive(&lock_);
  }

  std::optional<size_t> AppendLine(std::string_view line) override {
    std::string whole(line);
    whole += "\r\n";
    // One WriteFile a line on a handle opened for appending only: each line
    // lands at the end as a whole.
    DWORD written = 0;
    if (!WriteFile(file_.Get(), whole.data(), static_cast<DWORD>(whole.size()), &written,
                   nullptr) ||
        written != whole.size())
      return std::nullopt;
    return whole.size();
  }

  std::optional<uint64_t> Size() override {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file_.Get(), &size) || size.QuadPart < 0)
      return std::nullopt;
    return static_cast<uint64_t>(size.QuadPart);
  }

  bool EndsWith(std::string_view end) override {
    std::string tail(end.size() + 2, '\0');
    const std::optional<uint64_t> size = Size();
    if (!size || *size < tail.size())
      return false;
    const uint64_t from = *size - tail.size();
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(from);
    at.OffsetHigh = static_cast<DWORD>(from >> 32);
    DWORD read = 0;
    return ReadFile(file_.Get(), tail.data(), static_cast<DWORD>(tail.size()), &read, &at) &&
           read == tail.size() && tail.ends_with("\r\n") &&
           std::string_view(tail).substr(0, end.size()) == end;
  }

  // A file that ends inside a line gets its line end.
  bool EndTornLine() {
    if (!Lock())
      return false;
    const std::optional<uint64_t> size = Size();
    bool ended = size.has_value() && *size == 0;
    if (size && *size != 0) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(*size - 1);
      at.OffsetHigh = static_cast<DWORD>((*size - 1) >> 32);
      char last = 0;
      DWORD read = 0;
      ended = ReadFile(file_.Get(), &last, 1, &read, &at) && read == 1 &&
              (last == '\n' || AppendLine({}).has_value());
    }
    Unlock();
    return ended;
  }

 private:
  static constexpr ULONGLONG kLockWaitMs = 2000;
  static OVERLAPPED LockedByte() {
    OVERLAPPED at{};
    at.OffsetHigh = 0x40000000;  // 2^62
    return at;
  }

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

// Sets SEM_FAILCRITICALERRORS for the calling thread while it lives: an
// empty removable drive fails the open instead of asking the user for a disk
// inside the host's call.
class QuietErrors {
 public:
  QuietErrors() { SetThreadErrorMode(SEM_FAILCRITICALERRORS, &old_); }
  ~QuietErrors() { SetThreadErrorMode(old_, nullptr); }
  QuietErrors(const QuietErrors&) = delete;
  QuietErrors& operator=(const QuietErrors&) = delete;

 private:
  DWORD old_ = 0;
};

// `path` without a leading "\\?\" (every path here is a drive's).
std::wstring WithoutPrefix(std::wstring path) {
  if (path.starts_with(L"\\\\?\\"))
    path.erase(0, 4);
  return path;
}

// What a Win32 call with (buffer, size) gives as a string: the call returns
// the length, or the size that it needs; 0 on failure.
template <class Call>
std::wstring Filled(Call&& call) {
  std::wstring text(MAX_PATH, L'\0');
  DWORD length = call(text.data(), static_cast<DWORD>(text.size()));
  if (length >= text.size()) {
    text.resize(length);
    length = call(text.data(), static_cast<DWORD>(text.size()));
  }
  text.resize(length < text.size() ? length : 0);
  return text;
}

// `path` as the system names it: absolute, each name in its long form (as
// written, never through a link that a name is), without "\\?\".
std::wstring NormalPath(const std::wstring& path) {
  const std::wstring full = Filled(
      [&](wchar_t* out, DWORD size) { return GetFullPathNameW(path.c_str(), size, out, nullptr); });
  const std::wstring long_form =
      Filled([&](wchar_t* out, DWORD size) { return GetLongPathNameW(full.c_str(), out, size); });
  return WithoutPrefix(long_form.empty() ? full : long_form);
}

// The path that the system reached through `handle`, without "\\?\"; empty
// when it cannot say or it is no drive's path (a share's "UNC\...").
std::wstring FinalPath(HANDLE handle) {
  std::wstring path = WithoutPrefix(Filled([&](wchar_t* out, DWORD size) {
    return GetFinalPathNameByHandleW(handle, out, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }));
  return path.size() >= 3 && path[1] == L':' ? path : std::wstring();
}

// Whether `handle` reached `path` by that very path: no junction, symbolic
// link, mount point or substituted drive on the way. Case does not count.
bool ReachedAsNamed(HANDLE handle, const std::wstring& path) {
  const std::wstring final = FinalPath(handle), named = NormalPath(path);
  return !final.empty() &&
         CompareStringOrdinal(final.data(), static_cast<int>(final.size()), named.data(),
                              static_cast<int>(named.size()), TRUE) == CSTR_EQUAL;
}

// The kind of the volume that holds `path` ("X:\..." as the system reached
// it, or as configured) allows a trace: a disk of this machine. A removable
// disk is one (the open fails quietly when it is empty: QuietErrors).
bool OnLocalDisk(const std::wstring& path) {
  const std::wstring volume = WithoutPrefix(Filled([&](wchar_t* out, DWORD size) {
    return GetVolumePathNameW(path.c_str(), out, size) ? static_cast<DWORD>(wcslen(out)) : 0;
  }));
  if (volume.empty())
    return false;
  switch (GetDriveTypeW(volume.c_str())) {
    case DRIVE_FIXED:
    case DRIVE_REMOVABLE:
    case DRIVE_RAMDISK:
      return true;
    default:
      return false;
  }
}

// The folder part of `path`, with the root's separator kept ("X:\").
std::wstring FolderOf(const std::wstring& path) {
  const size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos)
    return {};
  std::wstring folder = path.substr(0, separator);
  if (folder.back() == L':')
    folder += L'\\';
  return folder;
}

// Makes the folder that holds `path` when it is missing, the last one alone
// (CreateDirectoryW makes no folder above it). It is the checked name's own
// folder, so its text passed every check; it gets its parent's inherited
// security, as any new folder there would.
void MakeLastFolder(const std::wstring& path) {
  const std::wstring folder = FolderOf(path);
  // "X:\" or "\\?\X:\": the drive's root is there already.
  if (folder.empty() || folder.back() == L'\\')
    return;
  CreateDirectoryW(folder.c_str(), nullptr);
}

// Whether the folder of `path` is reached as named, so that no file is made
// where a link leads. (The file is checked the same way once it is open:
// that check decides; this one keeps a file from being made there.)
bool FolderReachedAsNamed(const std::wstring& path) {
  const std::wstring folder = FolderOf(path);
  const win::ScopedHandle held(CreateFileW(
      folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return held && ReachedAsNamed(held.Get(), folder);
}

}  // namespace

std::unique_ptr<TraceFile> OpenTraceFile(const std::string& path, bool make_folder) {
  const std::wstring name = win::Wide(path);
  if (CheckTracePath(win::AsStringView(name)) != PathProblem::kNone)
    return nullptr;
  // An empty removable drive fails what follows, without a box.
  const QuietErrors quiet;
  // The drive's kind by its letter first, so that nothing is made on a share.
  if (!OnLocalDisk(name))
    return nullptr;
  if (make_folder)
    MakeLastFolder(name);
  if (!FolderReachedAsNamed(name))
    return nullptr;
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
  // The file as the system reached it: by the configured path, on a volume
  // of this machine (the one that the handle is on, whatever its letter).
  if (!ReachedAsNamed(file.Get(), name) || !OnLocalDisk(FinalPath(file.Get())))
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
