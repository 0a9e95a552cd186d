// Checks the registry after `regsvr32` has registered or unregistered
// Workbench.dll, for all users (HKLM\Software\Classes, where HKCR writes go)
// or for the current user (HKCU\Software\Classes), in this program's own
// registry view: built for each width, it checks that width's registration.
//   registry_client.exe present machine|user <Workbench.dll>
//   registry_client.exe absent machine|user
//   registry_client.exe other-width-only   this width's DLL went, the other's stays
//   registry_client.exe blocked <Workbench.dll>
//                                          a registration that meets a key it
//                                          cannot write fails and leaves nothing
//   registry_client.exe stray machine|user <registered.dll> <copy.dll>
//                                          another copy's unregistration and
//                                          failing registration leave the
//                                          registered one whole, also when it
//                                          is written as REG_EXPAND_SZ; a
//                                          registration whose file is gone is
//                                          removed by any copy (for the user,
//                                          registered.dll is registered first
//                                          and unregistered at the end)
//   registry_client.exe deep <Workbench.dll> <registered.dll>
//                                          a copy in a folder deeper than
//                                          MAX_PATH registers and binds late,
//                                          or refuses both with the status
//                                          that says why, and leaves the
//                                          registered one whole
//   registry_client.exe serialised <Workbench.dll>
//                                          a registration waits for another
//                                          that holds the registration mutex
//   registry_client.exe version <file> <a.b.c.d>
//                                          the file's version resource says
//                                          that version
//   registry_client.exe class-not-registered
//                                          a host of this width cannot create
//                                          the class
#include <windows.h>

#include <cguid.h>
#include <initguid.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <wrl/client.h>

#include "win/scoped_handle.h"
#include "win/scoped_hkey.h"
#include "entry/registration.h"
#include "tests/wine/lib/scoped_hmodule.h"
#include "win/wide_text.h"
#include "entry/workbench_idl.h"
#include "tests/wine/lib/checks.h"

namespace {

using wb::win::Utf8;
using wbtest::Checks;
using wbtest::Hex;

#ifdef _WIN64
constexpr wchar_t kPlatform[] = L"win64";
constexpr SYSKIND kSysKind = SYS_WIN64;
#else
constexpr wchar_t kPlatform[] = L"win32";
constexpr SYSKIND kSysKind = SYS_WIN32;
#endif

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

// A key opened for reading (closed by its owner), and its values.
class Key {
 public:
  Key(HKEY root, const std::wstring& path) {
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, key_.Receive()) != ERROR_SUCCESS)
      key_.Reset();
  }
  bool exists() const { return key_.IsValid(); }
  HKEY get() const { return key_.Get(); }
  // A REG_SZ value; `found` is false when it is missing or of another type.
  std::wstring String(const wchar_t* name, bool* found) const {
    *found = false;
    if (!key_)
      return std::wstring();
    wchar_t buffer[1024] = {};
    DWORD type = 0, size = sizeof(buffer) - sizeof(wchar_t);
    if (RegQueryValueExW(key_.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
      return std::wstring();
    }
    *found = true;
    return buffer;
  }

 private:
  wb::win::ScopedHKEY key_;
};

// A value that must be present with this text (case-insensitive for paths
// and GUIDs, as the registry compares them).
void ExpectValue(Checks& t,
                 HKEY root,
                 const std::wstring& path,
                 const wchar_t* name,
                 const std::wstring& want,
                 const std::string& when = {}) {
  Key key(root, path);
  bool found = false;
  const std::wstring got = key.String(name, &found);
  const std::string label = when + Utf8(path) + (name ? " [" + Utf8(name) + "]" : std::string());
  t.Expect(found && _wcsicmp(got.c_str(), want.c_str()) == 0, label,
           !key.exists() ? std::string("key missing")
           : found       ? "got \"" + Utf8(got) + "\", want \"" + Utf8(want) + "\""
                         : std::string("value missing"));
}

// The library's flags as text: none of restricted, control or hidden (the
// platform may add FHASDISKIMAGE, 8).
void ExpectFlags(Checks& t, HKEY root, const std::wstring& path) {
  Key key(root, path);
  bool found = false;
  const std::wstring got = key.String(nullptr, &found);
  const unsigned long flags = found ? std::wcstoul(got.c_str(), nullptr, 10) : 0;
  t.Expect(found && !got.empty() &&
               (flags & (LIBFLAG_FRESTRICTED | LIBFLAG_FCONTROL | LIBFLAG_FHIDDEN)) == 0,
           Utf8(path), found ? "got \"" + Utf8(got) + "\"" : std::string("missing"));
}

std::wstring Directory(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void CheckPresent(Checks& t, HKEY root, const std::wstring& dll) {
  const std::wstring clsid = L"CLSID\\" + GuidText(CLSID_CWorkbench);
  const std::wstring libid = GuidText(LIBID_Workbench);
  const std::wstring iface = L"Interface\\" + GuidText(IID__CWorkbench);
  const std::wstring lib = L"TypeLib\\" + libid + L"\\1.0";
  const std::wstring automation_proxy = L"{00020424-0000-0000-C000-000000000046}";

  ExpectValue(t, root, clsid, nullptr, L"Workbench.CWorkbench");
  ExpectValue(t, root, clsid + L"\\InprocServer32", nullptr, dll);
  ExpectValue(t, root, clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  ExpectValue(t, root, clsid + L"\\ProgID", nullptr, L"Workbench.CWorkbench");
  ExpectValue(t, root, clsid + L"\\TypeLib", nullptr, libid);
  ExpectValue(t, root, clsid + L"\\Version", nullptr, L"1.0");
  ExpectValue(t, root, L"Workbench.CWorkbench\\CLSID", nullptr, GuidText(CLSID_CWorkbench));
  ExpectValue(t, root, lib + L"\\0\\" + kPlatform, nullptr, dll);
  ExpectFlags(t, root, lib + L"\\FLAGS");
  ExpectValue(t, root, lib + L"\\HELPDIR", nullptr, Directory(dll) + L"\\");
  ExpectValue(t, root, iface, nullptr, L"_CWorkbench");
  ExpectValue(t, root, iface + L"\\ProxyStubClsid32", nullptr, automation_proxy);
  ExpectValue(t, root, iface + L"\\TypeLib", nullptr, libid);
  ExpectValue(t, root, iface + L"\\TypeLib", L"Version", L"1.0");
}

// What a host of this width gets: the class by its ProgID, and the type
// library registered for this width.
void CheckUsable(Checks& t) {
  CLSID clsid = {};
  HRESULT hr = CLSIDFromProgID(L"Workbench.CWorkbench", &clsid);
  Microsoft::WRL::ComPtr<IDispatch> object;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object));
  }
  t.ExpectEq(hr, S_OK, "a host creates the class by its ProgID");
  Microsoft::WRL::ComPtr<ITypeLib> lib;
  hr = LoadRegTypeLib(LIBID_Workbench, 1, 0, LOCALE_NEUTRAL, &lib);
  TLIBATTR* attr = nullptr;
  if (SUCCEEDED(hr))
    hr = lib->GetLibAttr(&attr);
  t.Expect(SUCCEEDED(hr) && attr->syskind == kSysKind,
           "LoadRegTypeLib gives this width's type library",
           SUCCEEDED(hr) ? "syskind " + std::to_string(attr->syskind) : "hr " + std::to_string(hr));
  if (attr != nullptr)
    lib->ReleaseTLibAttr(attr);
}

// What CoCreateInstance of the class answers a host of this width.
void ExpectCreation(Checks& t, HRESULT want, const char* name) {
  Microsoft::WRL::ComPtr<IDispatch> object;
  t.ExpectEq(
      CoCreateInstance(CLSID_CWorkbench, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object)),
      want, name);
}

// This width's DLL was unregistered while the other width's stays: this
// width's own keys are gone, the keys both views share are kept for the
// other width's hosts, and a host of this width cannot create the class.
void CheckOtherWidthOnly(Checks& t, HKEY root) {
  const std::wstring lib = L"TypeLib\\" + GuidText(LIBID_Workbench) + L"\\1.0";
  t.Expect(!Key(root, L"CLSID\\" + GuidText(CLSID_CWorkbench)).exists(),
           "this width's class key is gone", "still present");
  t.Expect(!Key(root, lib + L"\\0\\" + kPlatform).exists(),
           "this width's type library entry is gone", "still present");
  ExpectValue(t, root, L"Workbench.CWorkbench\\CLSID", nullptr, GuidText(CLSID_CWorkbench));
  ExpectValue(t, root, L"Interface\\" + GuidText(IID__CWorkbench) + L"\\TypeLib", nullptr,
              GuidText(LIBID_Workbench));
  t.Expect(Key(root, lib).exists(), "the type library's version key stays", "missing");
  ExpectCreation(t, REGDB_E_CLASSNOTREG, "a host of this width gets REGDB_E_CLASSNOTREG");
}

void CheckAbsent(Checks& t, HKEY root) {
  const std::wstring keys[] = {
      L"CLSID\\" + GuidText(CLSID_CWorkbench),
      L"Workbench.CWorkbench",
      L"TypeLib\\" + GuidText(LIBID_Workbench),
      L"Interface\\" + GuidText(IID__CWorkbench),
  };
  for (const std::wstring& path : keys) {
    t.Expect(!Key(root, path).exists(), Utf8(path) + " is gone", "still present");
  }
  // Siblings that unregistration must leave alone.
  t.Expect(Key(root, L"CLSID").exists() && Key(root, L"Interface").exists() &&
               Key(root, L"TypeLib").exists(),
           "the CLSID, Interface and TypeLib roots remain");
}

}  // namespace

// Registers with a key in the way that cannot be written (a volatile key
// takes no lasting subkeys): the registration must report that failure and
// take back everything it wrote before it.
void CheckBlocked(Checks& t, HKEY root, const wchar_t* dll) {
  const wchar_t kProgIdKey[] = L"Software\\Classes\\Workbench.CWorkbench";
  wb::win::ScopedHKEY blocker;
  const LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kProgIdKey, 0, nullptr,
                                         REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                         blocker.Receive(), nullptr);
  t.ExpectEq(status, ERROR_SUCCESS, "a volatile key stands where the ProgID goes");
  const wb::win::ScopedHMODULE module(LoadLibraryW(dll));
  using Export = HRESULT(STDAPICALLTYPE*)();
  auto* register_server =
      module ? reinterpret_cast<Export>(
                   reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllRegisterServer")))
             : nullptr;
  const HRESULT hr = register_server ? register_server() : E_FAIL;
  t.ExpectEq(hr, HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE),
             "DllRegisterServer reports the write that failed");
  blocker.Reset();
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProgIdKey);
  CheckAbsent(t, root);
}

// Calls an export of a DLL loaded from its own path.
HRESULT CallExport(const wchar_t* dll, const char* name, const wchar_t* user = nullptr) {
  const wb::win::ScopedHMODULE module(LoadLibraryW(dll));
  FARPROC proc = module ? GetProcAddress(module.Get(), name) : nullptr;
  if (proc == nullptr)
    return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  if (user != nullptr) {
    using Install = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    const bool install = std::strcmp(name, "DllRegisterServer") == 0;
    return reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(
        module.Get(), "DllInstall")))(install ? TRUE : FALSE, user);
  }
  using Export = HRESULT(STDAPICALLTYPE*)();
  return reinterpret_cast<Export>(reinterpret_cast<void*>(proc))();
}

// Runs this width's regsvr32 on `dll` (for the user alone with `user`);
// its exit code, or -1 when it did not run.
int RunRegsvr32(const std::wstring& dll, bool user) {
  std::wstring command = L"regsvr32.exe /s " + std::wstring(user ? L"/n /i:user " : L"") + L"\"" +
                         dll + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    return -1;
  }
  const wb::win::ScopedHandle process(info.hProcess);
  const wb::win::ScopedHandle thread(info.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.Get(), &code)) {
    return -1;
  }
  return static_cast<int>(code);
}

// Another copy of the DLL, of this width, against the registered one: its
// unregistration removes nothing and says so; its registration, stopped by a
// key it cannot write, puts back the registered one's values.
void CheckStray(Checks& t, HKEY root, bool user, const wchar_t* registered, const wchar_t* copy) {
  const wchar_t* scope = user ? L"user" : nullptr;
  const std::wstring server = L"CLSID\\" + GuidText(CLSID_CWorkbench) + L"\\InprocServer32";
  if (user)
    t.ExpectEq(CallExport(registered, "DllRegisterServer", scope), S_OK, "registered for the user");
  t.ExpectEq(CallExport(copy, "DllUnregisterServer", scope), S_FALSE,
             "the copy's unregistration removes nothing and returns S_FALSE");
  ExpectValue(t, root, server, nullptr, registered);
  // A volatile key where the interface's keys go takes no lasting subkeys.
  const std::wstring iface = L"Interface\\" + GuidText(IID__CWorkbench);
  RegDeleteTreeW(root, iface.c_str());
  wb::win::ScopedHKEY blocker;
  RegCreateKeyExW(root, iface.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                  blocker.Receive(), nullptr);
  t.ExpectEq(CallExport(copy, "DllRegisterServer", scope),
             HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE),
             "the copy's registration fails at the blocked key");
  ExpectValue(t, root, server, nullptr, registered, "after the blocked registration: ");
  blocker.Reset();
  RegDeleteTreeW(root, iface.c_str());

  // The registered path as another tool may write it: REG_EXPAND_SZ.
  const std::wstring folder = Directory(registered);
  SetEnvironmentVariableW(L"WB_REGISTERED_FOLDER", folder.c_str());
  const std::wstring file = std::wstring(registered).substr(folder.size());
  const auto set_server = [&](const std::wstring& path) {
    wb::win::ScopedHKEY key;
    RegOpenKeyExW(root, server.c_str(), 0, KEY_SET_VALUE, key.Receive());
    RegSetValueExW(key.Get(), nullptr, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
  };
  set_server(L"%WB_REGISTERED_FOLDER%" + file);
  t.ExpectEq(CallExport(copy, "DllUnregisterServer", scope), S_FALSE,
             "the copy's unregistration reads a REG_EXPAND_SZ server and removes nothing");
  // A variable that only the registering process had: no file for sure.
  set_server(L"%WB_FOLDER_OF_ANOTHER_PROCESS%" + file);
  t.ExpectEq(CallExport(copy, "DllUnregisterServer", scope), S_FALSE,
             "nor with a variable this process lacks");
  t.Expect(Key(root, server).exists(), "the class key with the REG_EXPAND_SZ server stays",
           "removed");

  // A registration whose file is gone from the disk: any copy removes it.
  // The copy is registered by regsvr32, for a DLL once loaded here stays.
  const std::wstring gone = Directory(copy) + L"\\gone.dll";
  const bool copied = CopyFileW(copy, gone.c_str(), FALSE) &&
                      RunRegsvr32(gone, user) == 0 && DeleteFileW(gone.c_str());
  t.Expect(copied, "a copy registered and then deleted");
  t.ExpectEq(CallExport(copy, "DllUnregisterServer", scope), S_OK,
             "the copy's unregistration removes a registration whose file is gone");
  t.Expect(!Key(root, L"CLSID\\" + GuidText(CLSID_CWorkbench)).exists(),
           "the class key of the gone file is removed", "still present");

  t.ExpectEq(CallExport(registered, user ? "DllUnregisterServer" : "DllRegisterServer", scope),
             S_OK, user ? "the registered copy unregisters" : "the registered copy registers again");
  if (user) {
    t.Expect(!Key(root, L"CLSID\\" + GuidText(CLSID_CWorkbench)).exists(),
             "the user's class key is gone", "still present");
    return;
  }
  ExpectCreation(t, S_OK, "a host still creates the registered class");
}

// Registration takes turns with any other on the machine: while another
// program holds the registration mutex, DllRegisterServer waits, and goes on
// once it is let go.
struct RegisterRun {
  const wchar_t* dll;
  HRESULT hr = E_PENDING;
};

DWORD WINAPI RegisterOnThread(void* context) {
  auto* run = static_cast<RegisterRun*>(context);
  run->hr = CallExport(run->dll, "DllRegisterServer");
  return 0;
}

void CheckSerialised(Checks& t, const wchar_t* dll) {
  const wb::win::ScopedHandle lock(
      CreateMutexW(nullptr, TRUE, wb::entry::kRegistrationMutexName));
  t.Expect(lock.IsValid() && GetLastError() != ERROR_ALREADY_EXISTS,
           "this program holds the registration mutex");
  RegisterRun run{dll};
  const wb::win::ScopedHandle thread(
      CreateThread(nullptr, 0, &RegisterOnThread, &run, 0, nullptr));
  t.ExpectEq(WaitForSingleObject(thread.Get(), 1500), static_cast<DWORD>(WAIT_TIMEOUT),
             "DllRegisterServer waits while another holds the mutex");
  ReleaseMutex(lock.Get());
  t.ExpectEq(WaitForSingleObject(thread.Get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0),
             "it goes on once the mutex is let go");
  t.ExpectEq(run.hr, S_OK, "and registers");
}

// The version that a file's version resource gives, as Explorer's Details
// tab and software inventory read it.
void CheckVersion(Checks& t, const wchar_t* file, const wchar_t* want) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(file, &handle);
  std::vector<BYTE> block(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  std::wstring got = L"no version resource";
  if (size != 0 && GetFileVersionInfoW(file, 0, size, block.data()) &&
      VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
    got = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." +
          std::to_wstring(LOWORD(fixed->dwFileVersionMS)) + L"." +
          std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." +
          std::to_wstring(LOWORD(fixed->dwFileVersionLS));
  }
  t.Expect(got == want, Utf8(file) + " is version " + Utf8(want), "got " + Utf8(got));
}

// A copy of the DLL in a folder deeper than MAX_PATH: what the system allows
// there decides whether it works; it must not fail in any other way.
void CheckDeep(Checks& t, HKEY root, const wchar_t* deep, const wchar_t* registered) {
  const HRESULT kTooLong = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  const std::wstring server = L"CLSID\\" + GuidText(CLSID_CWorkbench) + L"\\InprocServer32";
  const wb::win::ScopedHMODULE module(LoadLibraryW(deep));
  t.Expect(module && std::wcslen(deep) > MAX_PATH, "the copy deeper than MAX_PATH loads");
  if (!module)
    return;
  const HRESULT registered_hr = CallExport(deep, "DllRegisterServer");
  t.Expect(registered_hr == S_OK || registered_hr == kTooLong,
           "its registration succeeds or says the path is too long",
           "hr " + Hex(registered_hr));
  std::printf("deeper than MAX_PATH: %s\n", registered_hr == S_OK ? "works" : "refused");
  if (registered_hr == S_OK)
    ExpectValue(t, root, server, nullptr, deep);
  else
    ExpectValue(t, root, server, nullptr, registered);
  // Late binding from the copy itself, registered or not.
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto get_class = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllGetClassObject")));
  Microsoft::WRL::ComPtr<IClassFactory> factory;
  Microsoft::WRL::ComPtr<IDispatch> dispatch;
  if (get_class && SUCCEEDED(get_class(CLSID_CWorkbench, IID_PPV_ARGS(&factory))))
    factory->CreateInstance(nullptr, IID_PPV_ARGS(&dispatch));
  DISPID id = DISPID_UNKNOWN;
  wchar_t name[] = L"DEVOVIZoruze";
  LPOLESTR names[] = {name};
  const HRESULT bound =
      dispatch ? dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id) : E_NOINTERFACE;
  t.Expect(bound == (registered_hr == S_OK ? S_OK : kTooLong),
           "late binding agrees with the registration",
           "hr " + Hex(bound));
  if (registered_hr == S_OK)
    CallExport(registered, "DllRegisterServer");
  ExpectValue(t, root, server, nullptr, registered, "registered again: ");
}

int wmain(int argc, wchar_t** argv) {
  Checks t;
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  const bool present = argc == 4 && mode == L"present";
  const bool absent = argc == 3 && mode == L"absent";
  const bool other_only = argc == 2 && mode == L"other-width-only";
  const bool blocked = argc == 3 && mode == L"blocked";
  const bool stray = argc == 5 && mode == L"stray";
  const bool not_registered = argc == 2 && mode == L"class-not-registered";
  const bool deep = argc == 4 && mode == L"deep";
  const bool serialised = argc == 3 && mode == L"serialised";
  const bool version = argc == 4 && mode == L"version";
  if (version) {
    t.Plan(1);
    CheckVersion(t, argv[2], argv[3]);
    return t.Finish();
  }
  if (!present && !absent && !other_only && !blocked && !stray && !not_registered && !deep &&
      !serialised) {
    t.Expect(false, "arguments",
             "usage: registry_client present|absent machine|user [<Workbench.dll>], "
             "other-width-only, blocked <Workbench.dll>, stray machine|user <registered> "
             "<copy>, deep <copy> <registered>, class-not-registered, serialised <Workbench.dll>, "
             "version <file> <a.b.c.d>");
    return t.Finish();
  }
  const bool user = (present || absent || stray) && std::wcscmp(argv[2], L"user") == 0;
  // The root, then the mode's keys (and for the machine a host's use of them).
  t.Plan(1 + (present          ? 14 + (user ? 0 : 2)
              : other_only     ? 6
              : blocked        ? 2 + 5
              : stray          ? (user ? 13 : 12)
              : serialised     ? 4
              : not_registered ? 1
              : deep           ? 5
                               : 5));
  if (stray && user) {
    // A new profile has no classes of its own yet.
    wb::win::ScopedHKEY classes;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                    KEY_READ, nullptr, classes.Receive(), nullptr);
  }
  const Key root(user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, L"Software\\Classes");
  t.Expect(root.exists(), "classes root opens");
  if (!root.exists())
    return t.Finish();
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (present) {
    CheckPresent(t, root.get(), argv[3]);
    if (!user)
      CheckUsable(t);
  } else if (other_only) {
    CheckOtherWidthOnly(t, root.get());
  } else if (blocked) {
    CheckBlocked(t, root.get(), argv[2]);
  } else if (stray) {
    CheckStray(t, root.get(), user, argv[3], argv[4]);
  } else if (deep) {
    CheckDeep(t, root.get(), argv[2], argv[3]);
  } else if (serialised) {
    CheckSerialised(t, argv[2]);
  } else if (not_registered) {
    ExpectCreation(t, REGDB_E_CLASSNOTREG, "a host of this width gets REGDB_E_CLASSNOTREG");
  } else {
    CheckAbsent(t, root.get());
  }
  const int failures = t.Finish();
  CoUninitialize();
  return failures;
}
