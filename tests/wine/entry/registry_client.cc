// Checks the registry after `regsvr32` has registered or unregistered
// Workbench.dll, for all users (HKLM\Software\Classes, where HKCR writes go)
// or for the current user (HKCU\Software\Classes).
//   registry_client.exe present machine|user <Workbench.dll>
//   registry_client.exe absent machine|user
#include <windows.h>

#include <initguid.h>
#include <oleauto.h>

#include <cstdlib>
#include <cwchar>
#include <string>

#include "bridge/win/scoped_hkey.h"
#include "bridge/win/wide_text.h"
#include "entry/workbench_idl.h"
#include "tests/wine/checks.h"

namespace {

using wb::win::Utf8;
using wbtest::Checks;

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
                 const std::wstring& want) {
  Key key(root, path);
  bool found = false;
  const std::wstring got = key.String(name, &found);
  const std::string label = Utf8(path) + (name ? " [" + Utf8(name) + "]" : std::string());
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
  ExpectValue(t, root, lib + L"\\0\\win64", nullptr, dll);
  ExpectFlags(t, root, lib + L"\\FLAGS");
  ExpectValue(t, root, lib + L"\\HELPDIR", nullptr, Directory(dll));
  ExpectValue(t, root, iface, nullptr, L"_CWorkbench");
  ExpectValue(t, root, iface + L"\\ProxyStubClsid32", nullptr, automation_proxy);
  ExpectValue(t, root, iface + L"\\TypeLib", nullptr, libid);
  ExpectValue(t, root, iface + L"\\TypeLib", L"Version", L"1.0");
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

int wmain(int argc, wchar_t** argv) {
  Checks t;
  const bool present = argc == 4 && std::wcscmp(argv[1], L"present") == 0;
  const bool absent = argc == 3 && std::wcscmp(argv[1], L"absent") == 0;
  if (!present && !absent) {
    t.Expect(false, "arguments",
             "usage: registry_client present|absent machine|user [<Workbench.dll>]");
    return t.Finish();
  }
  const bool user = std::wcscmp(argv[2], L"user") == 0;
  const Key root(user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, L"Software\\Classes");
  if (!root.exists()) {
    t.Expect(false, "classes root opens");
    return t.Finish();
  }
  if (present) {
    CheckPresent(t, root.get(), argv[3]);
  } else {
    CheckAbsent(t, root.get());
  }
  return t.Finish();
}
