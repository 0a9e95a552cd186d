// DllRegisterServer / DllUnregisterServer: each ProgID of the suite under
// HKEY_CLASSES_ROOT with its CLSID, InprocServer32 this DLL, apartment
// threaded. Unregistering removes a ProgID only while it still names our
// CLSID, so a real suite component registered later is left alone.
#include <olectl.h>
#include <windows.h>

#include <string>

#include "core/text.h"
#include "refsuite/com_classes.h"
#include "win/scoped_hkey.h"

namespace refsuite::com {

namespace {

using WString = std::wstring;

WString Wide(const std::string& text) {
  const wb::String u16 = wb::FromUtf8(text);
  return WString(u16.begin(), u16.end());
}

WString GuidText(REFCLSID clsid) {
  wchar_t text[64] = {};
  StringFromGUID2(clsid, text, 64);
  return text;
}

// An open registry key (closed on every path by its owner) and the few
// operations registration needs.
class Key {
 public:
  LONG Create(HKEY parent, const WString& path) {
    return RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key_.Receive(),
                           nullptr);
  }
  LONG Open(HKEY parent, const WString& path) {
    return RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key_.Receive());
  }
  LONG Set(const wchar_t* name, const WString& value) {
    return RegSetValueExW(key_.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  WString Get() {
    wchar_t value[128] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key_.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
      return {};
    }
    return value;
  }

 private:
  wb::win::ScopedHKEY key_;
};

LONG SetKey(const WString& path, const wchar_t* name, const WString& value) {
  Key key;
  const LONG result = key.Create(HKEY_CLASSES_ROOT, path);
  return result != ERROR_SUCCESS ? result : key.Set(name, value);
}

HRESULT RegisterClass(const ComClass& c, const WString& module_path) {
  const WString prog_id = Wide(c.prog_id);
  const WString clsid = GuidText(c.clsid);
  const WString title = L"Reference suite: " + prog_id;
  const WString clsid_key = L"CLSID\\" + clsid;
  LONG r = SetKey(clsid_key, nullptr, title);
  if (r == ERROR_SUCCESS)
    r = SetKey(clsid_key + L"\\InprocServer32", nullptr, module_path);
  if (r == ERROR_SUCCESS) {
    r = SetKey(clsid_key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  }
  if (r == ERROR_SUCCESS)
    r = SetKey(clsid_key + L"\\ProgID", nullptr, prog_id);
  if (r == ERROR_SUCCESS)
    r = SetKey(prog_id, nullptr, title);
  if (r == ERROR_SUCCESS)
    r = SetKey(prog_id + L"\\CLSID", nullptr, clsid);
  return r == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(r));
}

void UnregisterClass(const ComClass& c) {
  const WString prog_id = Wide(c.prog_id);
  const WString clsid = GuidText(c.clsid);
  bool ours = false;
  {
    Key key;
    ours = key.Open(HKEY_CLASSES_ROOT, prog_id + L"\\CLSID") == ERROR_SUCCESS &&
           _wcsicmp(key.Get().c_str(), clsid.c_str()) == 0;
  }
  if (ours)
    RegDeleteTreeW(HKEY_CLASSES_ROOT, prog_id.c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsid).c_str());
}

}  // namespace

}  // namespace refsuite::com

STDAPI DllRegisterServer() {
  using namespace refsuite::com;
  try {
    const std::wstring path = wb::win::ThisModulePath();
    if (path.empty())
      return SELFREG_E_CLASS;
    for (const ComClass& c : Classes()) {
      const HRESULT hr = RegisterClass(c, path);
      if (FAILED(hr)) {
        for (const ComClass& undo : Classes())
          UnregisterClass(undo);
        return SELFREG_E_CLASS;
      }
    }
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllUnregisterServer() {
  using namespace refsuite::com;
  try {
    for (const ComClass& c : Classes())
      UnregisterClass(c);
    return S_OK;
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}
