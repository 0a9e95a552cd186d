// Reads back the type library and the version resource of both Workbench.dll
// builds (the 64-bit one and the 32-bit product) without registering them:
// LoadTypeLibEx and GetFileVersionInfoW read resources as data, so a 64-bit
// process can check the 32-bit DLL too. The standalone Workbench.tlb of each
// architecture, which hosts import, must describe the same library.
//   typelib_client.exe <Workbench.dll win64> <Workbench.dll win32>
//                      <Workbench.tlb win64> <Workbench.tlb win32>
#include <windows.h>

#include <initguid.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>
#include <vector>

#include "entry/workbench_idl.h"
#include "tests/wine/lib/checks.h"
#include "win/scoped_bstr.h"
#include "win/wide_text.h"

namespace {

using Microsoft::WRL::ComPtr;
using wb::win::ScopedBstr;
using wb::win::Utf8;
using wbtest::Checks;
using wbtest::Hex;

// Attribute blocks that the type library hands out and takes back.
class LibAttr {
 public:
  explicit LibAttr(ITypeLib* lib) : lib_(lib) { lib_->GetLibAttr(&attr_); }
  ~LibAttr() {
    if (attr_)
      lib_->ReleaseTLibAttr(attr_);
  }
  LibAttr(const LibAttr&) = delete;
  LibAttr& operator=(const LibAttr&) = delete;
  const TLIBATTR* operator->() const { return attr_; }
  explicit operator bool() const { return attr_ != nullptr; }

 private:
  ITypeLib* lib_;
  TLIBATTR* attr_ = nullptr;
};

class TypeAttr {
 public:
  explicit TypeAttr(ITypeInfo* info) : info_(info) { info_->GetTypeAttr(&attr_); }
  ~TypeAttr() {
    if (attr_)
      info_->ReleaseTypeAttr(attr_);
  }
  TypeAttr(const TypeAttr&) = delete;
  TypeAttr& operator=(const TypeAttr&) = delete;
  const TYPEATTR* operator->() const { return attr_; }
  explicit operator bool() const { return attr_ != nullptr; }

 private:
  ITypeInfo* info_;
  TYPEATTR* attr_ = nullptr;
};

class FuncDesc {
 public:
  FuncDesc(ITypeInfo* info, UINT index) : info_(info) { info_->GetFuncDesc(index, &desc_); }
  ~FuncDesc() {
    if (desc_)
      info_->ReleaseFuncDesc(desc_);
  }
  FuncDesc(const FuncDesc&) = delete;
  FuncDesc& operator=(const FuncDesc&) = delete;
  const FUNCDESC* operator->() const { return desc_; }
  explicit operator bool() const { return desc_ != nullptr; }

 private:
  ITypeInfo* info_;
  FUNCDESC* desc_ = nullptr;
};

std::string GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return Utf8(text);
}

void ExpectGuid(Checks& t, REFGUID actual, REFGUID expected, const std::string& name) {
  t.Expect(IsEqualGUID(actual, expected), name,
           "got " + GuidText(actual) + ", want " + GuidText(expected));
}

void ExpectFlags(Checks& t, unsigned long actual, unsigned long expected, const std::string& name) {
  t.Expect(actual == expected, name, "got " + Hex(actual) + ", want " + Hex(expected));
}

std::string NameOf(ITypeInfo* info, MEMBERID memid = MEMBERID_NIL) {
  ScopedBstr name;
  if (FAILED(info->GetDocumentation(memid, name.Receive(), nullptr, nullptr, nullptr))) {
    return "<no name>";
  }
  return wb::ToUtf8(name.Text());
}

// The names of a function and of its parameters, as GetNames gives them.
std::vector<std::string> NamesOf(ITypeInfo* info, MEMBERID memid) {
  BSTR names[4] = {};
  UINT count = 0;
  std::vector<std::string> out;
  if (FAILED(info->GetNames(memid, names, 4, &count)))
    return out;
  // All owned before any is converted: a throwing conversion frees the rest.
  ScopedBstr owned[4];
  for (UINT i = 0; i < count && i < 4; ++i)
    owned[i].Reset(names[i]);
  for (UINT i = 0; i < count && i < 4; ++i)
    out.push_back(wb::ToUtf8(owned[i].Text()));
  return out;
}

void CheckLibrary(Checks& t, ITypeLib* lib, SYSKIND syskind, const std::string& p) {
  LibAttr attr(lib);
  t.Expect(static_cast<bool>(attr), p + "library attributes readable");
  if (!attr)
    return;
  ExpectGuid(t, attr->guid, LIBID_Workbench, p + "LIBID");
  t.ExpectEq(attr->wMajorVerNum, 1, p + "library major version");
  t.ExpectEq(attr->wMinorVerNum, 0, p + "library minor version");
  t.ExpectEq(attr->lcid, 0, p + "library lcid is neutral");
  t.ExpectEq(attr->syskind, syskind, p + "library syskind");
  // FHASDISKIMAGE only says that it was read from a file.
  ExpectFlags(t, attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0,
              p + "library not restricted, control or hidden");

  ScopedBstr name, doc, help_file;
  DWORD help_context = 1;
  const HRESULT hr =
      lib->GetDocumentation(-1, name.Receive(), doc.Receive(), &help_context, help_file.Receive());
  t.ExpectEq(hr, S_OK, p + "library documentation readable");
  t.ExpectEq(name.Text(), u"Workbench", p + "library name");
  t.ExpectEq(doc.Text(), u"", p + "library has no help string");
  t.ExpectEq(help_file.Text(), u"", p + "library has no help file");
  t.ExpectEq(help_context, 0, p + "library help context");
  t.ExpectEq(lib->GetTypeInfoCount(), 2, p + "two type descriptions");

  TYPEKIND kind0 = TKIND_MAX, kind1 = TKIND_MAX;
  lib->GetTypeInfoType(0, &kind0);
  lib->GetTypeInfoType(1, &kind1);
  t.ExpectEq(kind0, TKIND_DISPATCH, p + "first type is the dual interface's dispatch side");
  t.ExpectEq(kind1, TKIND_COCLASS, p + "second type is the class");
}

// The methods as the table of methods (TKIND_INTERFACE) describes them.
void CheckVtableSide(Checks& t, ITypeInfo* iface, SYSKIND syskind, const std::string& p) {
  TypeAttr attr(iface);
  if (!attr)
    return t.Expect(false, p + "interface attributes readable");
  const int ptr = syskind == SYS_WIN64 ? 8 : 4;
  t.ExpectEq(attr->typekind, TKIND_INTERFACE, p + "vtable side is TKIND_INTERFACE");
  ExpectGuid(t, attr->guid, IID__CWorkbench, p + "vtable side IID");
  t.ExpectEq(attr->cFuncs, 2, p + "two own methods");
  t.ExpectEq(attr->cImplTypes, 1, p + "vtable side has one base");
  t.ExpectEq(attr->cbSizeVft, 9 * ptr, p + "vtable holds IDispatch's 7 slots and 2 own");
  ExpectFlags(t, attr->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE,
              TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION,
              p + "interface flags: hidden, dual, nonextensible, oleautomation");
  t.ExpectEq(attr->wMajorVerNum, 1, p + "vtable side major version");
  t.ExpectEq(attr->wMinorVerNum, 0, p + "vtable side minor version");

  HREFTYPE base_ref = 0;
  ComPtr<ITypeInfo> base;
  if (SUCCEEDED(iface->GetRefTypeOfImplType(0, &base_ref)) &&
      SUCCEEDED(iface->GetRefTypeInfo(base_ref, base.ReleaseAndGetAddressOf()))) {
    TypeAttr base_attr(base.Get());
    t.Expect(base_attr && IsEqualIID(base_attr->guid, IID_IDispatch), p + "base is IDispatch",
             NameOf(base.Get()));
  } else {
    t.Expect(false, p + "base is IDispatch", "base not readable");
  }

  struct Expected {
    MEMBERID memid;
    const char* name;
    int slot;
    short params;
  } const methods[] = {{DISPID_SHOWWORKBENCHFORM, "ShowWorkbenchForm", 7, 0},
                       {DISPID_DEVOVIZORUZE, "DEVOVIZoruze", 8, 1}};
  for (UINT i = 0; i < 2; ++i) {
    const Expected& want = methods[i];
    const std::string m = p + want.name + " (vtable) ";
    FuncDesc f(iface, i);
    if (!f) {
      t.Expect(false, m + "readable");
      continue;
    }
    t.ExpectEq(f->memid, want.memid, m + "dispatch id");
    // The loader gives slot offsets in the reading process's pointer size.
    t.ExpectEq(f->oVft, want.slot * static_cast<int>(sizeof(void*)), m + "slot");
    t.ExpectEq(f->funckind, FUNC_PUREVIRTUAL, m + "funckind");
    t.ExpectEq(f->invkind, INVOKE_FUNC, m + "is a method");
    t.ExpectEq(f->callconv, CC_STDCALL, m + "calling convention");
    t.ExpectEq(f->elemdescFunc.tdesc.vt, VT_HRESULT, m + "returns a status code");
    t.ExpectEq(f->cParams, want.params, m + "parameter count");
    t.ExpectEq(f->cParamsOpt, 0, m + "no optional parameters");
  }
}

// The dispatch side, which late-bound tools and the class's own
// GetTypeInfo present.
void CheckInterface(Checks& t, ITypeLib* lib, SYSKIND syskind, const std::string& p) {
  ComPtr<ITypeInfo> info;
  if (FAILED(lib->GetTypeInfoOfGuid(IID__CWorkbench, info.ReleaseAndGetAddressOf()))) {
    return t.Expect(false, p + "interface found by IID");
  }
  t.ExpectEq(wb::FromUtf8(NameOf(info.Get())), u"_CWorkbench", p + "interface name");
  {
    TypeAttr attr(info.Get());
    if (!attr)
      return t.Expect(false, p + "interface attributes readable");
    t.ExpectEq(attr->typekind, TKIND_DISPATCH, p + "interface is dispatchable");
    t.ExpectEq(attr->wMajorVerNum, 1, p + "interface major version");
    t.ExpectEq(attr->wMinorVerNum, 0, p + "interface minor version");
    // The dispatch side never reports FOLEAUTOMATION (the table of methods
    // below does) and may add FDISPATCHABLE.
    ExpectFlags(t, attr->wTypeFlags & ~TYPEFLAG_FDISPATCHABLE,
                TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE,
                p + "dispatch side flags: hidden, dual, nonextensible");
    t.ExpectEq(attr->cVars, 0, p + "interface has no properties");
  }

  // Names resolve case-insensitively to the two dispatch ids.
  struct Member {
    const wchar_t* name;
    MEMBERID memid;
  } const members[] = {{L"showworkbenchform", DISPID_SHOWWORKBENCHFORM},
                       {L"DEVOVIZORUZE", DISPID_DEVOVIZORUZE}};
  for (const Member& member : members) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(member.name)};
    MEMBERID memid = 0;
    info->GetIDsOfNames(names, 1, &memid);
    t.ExpectEq(memid, member.memid, p + "id of " + Utf8(member.name));
  }

  TypeAttr attr(info.Get());
  bool saw_method = false;
  for (UINT i = 0; attr && i < attr->cFuncs; ++i) {
    FuncDesc f(info.Get(), i);
    if (!f || f->memid != DISPID_DEVOVIZORUZE)
      continue;
    saw_method = true;
    const std::string m = p + "DEVOVIZoruze (dispatch) ";
    t.ExpectEq(f->funckind, FUNC_DISPATCH, m + "funckind");
    t.ExpectEq(f->invkind, INVOKE_FUNC, m + "is a method");
    t.ExpectEq(f->callconv, CC_STDCALL, m + "calling convention");
    t.ExpectEq(f->elemdescFunc.tdesc.vt, VT_VOID, m + "returns nothing");
    t.ExpectEq(f->cParams, 1, m + "one parameter");
    if (f->cParams != 1)
      continue;
    const ELEMDESC& param = f->lprgelemdescParam[0];
    t.ExpectEq(param.tdesc.vt, VT_PTR, m + "parameter is a pointer");
    t.Expect(param.tdesc.vt == VT_PTR && param.tdesc.lptdesc != nullptr &&
                 param.tdesc.lptdesc->vt == VT_I4,
             m + "parameter points to a Long");
    ExpectFlags(t, param.paramdesc.wParamFlags, PARAMFLAG_FIN | PARAMFLAG_FOUT,
                m + "parameter is [in, out]");
    const std::vector<std::string> names = NamesOf(info.Get(), f->memid);
    t.Expect(names == std::vector<std::string>{"DEVOVIZoruze", "FDetailFuncID"},
             m + "names of the method and its parameter",
             names.size() == 2 ? names[0] + ", " + names[1] : std::to_string(names.size()));
  }
  t.Expect(saw_method, p + "DEVOVIZoruze described on the dispatch side");

  // The dual interface's table of methods.
  HREFTYPE vtable_ref = 0;
  ComPtr<ITypeInfo> vtable;
  if (SUCCEEDED(info->GetRefTypeOfImplType(-1, &vtable_ref)) &&
      SUCCEEDED(info->GetRefTypeInfo(vtable_ref, vtable.ReleaseAndGetAddressOf()))) {
    CheckVtableSide(t, vtable.Get(), syskind, p);
  } else {
    t.Expect(false, p + "dual interface's vtable side readable");
  }
}

void CheckClass(Checks& t, ITypeLib* lib, const std::string& p) {
  ComPtr<ITypeInfo> info;
  if (FAILED(lib->GetTypeInfoOfGuid(CLSID_CWorkbench, info.ReleaseAndGetAddressOf()))) {
    return t.Expect(false, p + "class found by CLSID");
  }
  t.ExpectEq(wb::FromUtf8(NameOf(info.Get())), u"CWorkbench", p + "class name");
  TypeAttr attr(info.Get());
  if (!attr)
    return t.Expect(false, p + "class attributes readable");
  t.ExpectEq(attr->typekind, TKIND_COCLASS, p + "class typekind");
  ExpectFlags(t, attr->wTypeFlags, TYPEFLAG_FCANCREATE, p + "class flags: creatable only");
  t.ExpectEq(attr->wMajorVerNum, 1, p + "class major version");
  t.ExpectEq(attr->wMinorVerNum, 0, p + "class minor version");
  t.ExpectEq(attr->cImplTypes, 1, p + "class has one interface");

  INT impl_flags = -1;
  info->GetImplTypeFlags(0, &impl_flags);
  ExpectFlags(t, static_cast<unsigned long>(impl_flags), IMPLTYPEFLAG_FDEFAULT,
              p + "the interface is the default and no event source");
  HREFTYPE ref = 0;
  ComPtr<ITypeInfo> iface;
  if (SUCCEEDED(info->GetRefTypeOfImplType(0, &ref)) &&
      SUCCEEDED(info->GetRefTypeInfo(ref, iface.ReleaseAndGetAddressOf()))) {
    TypeAttr iface_attr(iface.Get());
    t.Expect(iface_attr && IsEqualIID(iface_attr->guid, IID__CWorkbench),
             p + "class implements _CWorkbench", NameOf(iface.Get()));
  } else {
    t.Expect(false, p + "class implements _CWorkbench", "interface not readable");
  }
}

// ---- Version resource -------------------------------------------------------

std::wstring QueryString(const std::vector<BYTE>& block, const std::wstring& entry, bool* found) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = L"\\StringFileInfo\\040904B0\\" + entry;
  *found = VerQueryValueW(block.data(), path.c_str(), &value, &length) != FALSE;
  if (!*found || value == nullptr || length == 0)
    return std::wstring();
  std::wstring text(static_cast<const wchar_t*>(value), length);
  while (!text.empty() && text.back() == L'\0')
    text.pop_back();
  return text;
}

void CheckVersionResource(Checks& t, const std::wstring& dll, const std::string& p) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &handle);
  std::vector<BYTE> block(size);
  if (size == 0 || !GetFileVersionInfoW(dll.c_str(), 0, size, block.data())) {
    return t.Expect(false, p + "version resource readable", "error " + Hex(GetLastError()));
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      fixed == nullptr) {
    t.Expect(false, p + "fixed version info readable");
  } else {
    ExpectFlags(t, fixed->dwSignature, VS_FFI_SIGNATURE, p + "fixed info signature");
    ExpectFlags(t, fixed->dwFileVersionMS, 0x00010000, p + "file version 1.0");
    ExpectFlags(t, fixed->dwFileVersionLS, 0, p + "file version .0.0");
    ExpectFlags(t, fixed->dwProductVersionMS, 0x00010000, p + "product version 1.0");
    ExpectFlags(t, fixed->dwProductVersionLS, 0, p + "product version .0.0");
    ExpectFlags(t, fixed->dwFileType, VFT_DLL, p + "file type DLL");
    ExpectFlags(t, fixed->dwFileOS & 0xFFFF, VOS__WINDOWS32, p + "file OS 32-bit Windows");
    ExpectFlags(t, fixed->dwFileFlags & fixed->dwFileFlagsMask, 0,
                p + "no debug/pre-release flags");
  }

  WORD* translation = nullptr;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &length) &&
      length >= 4) {
    ExpectFlags(t, translation[0], 0x0409, p + "language 0x0409");
    ExpectFlags(t, translation[1], 1200, p + "code page 1200");
  } else {
    t.Expect(false, p + "translation table readable");
  }

  struct Entry {
    const wchar_t* name;
    const wchar_t* value;
  } const entries[] = {
      {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},
      {L"ProductName", L"Workbench"},
      {L"InternalName", L"Workbench"},
      {L"OriginalFilename", L"Workbench.dll"},
      {L"OLESelfRegister", L""},
  };
  for (const Entry& entry : entries) {
    bool found = false;
    const std::wstring value = QueryString(block, entry.name, &found);
    t.Expect(found && value == entry.value, p + Utf8(entry.name),
             found ? "got \"" + Utf8(value) + "\"" : std::string("missing"));
  }
}

// A DLL (type library from its resources, and its version resource) or a
// standalone .tlb.
void CheckFile(Checks& t,
               const std::wstring& file,
               SYSKIND syskind,
               const std::string& label,
               bool is_dll) {
  const std::string p = label + ": ";
  ComPtr<ITypeLib> lib;
  const HRESULT hr = LoadTypeLibEx(file.c_str(), REGKIND_NONE, lib.ReleaseAndGetAddressOf());
  t.Expect(SUCCEEDED(hr), p + "type library loads", Hex(hr));
  if (SUCCEEDED(hr)) {
    CheckLibrary(t, lib.Get(), syskind, p);
    CheckInterface(t, lib.Get(), syskind, p);
    CheckClass(t, lib.Get(), p);
  }
  if (is_dll)
    CheckVersionResource(t, file, p);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Checks t;
  if (argc != 5) {
    t.Expect(false, "arguments",
             "usage: typelib_client <win64 dll> <win32 dll> <win64 tlb> <win32 tlb>");
    return t.Finish();
  }
  struct File {
    const wchar_t* path;
    SYSKIND syskind;
    const char* label;
    bool is_dll;
  } const files[] = {{argv[1], SYS_WIN64, "win64", true},
                     {argv[2], SYS_WIN32, "win32", true},
                     {argv[3], SYS_WIN64, "win64 Workbench.tlb", false},
                     {argv[4], SYS_WIN32, "win32 Workbench.tlb", false}};
  // Each file: the loading, the library, the interface with its table of
  // methods, the class; a DLL also its version resource.
  int planned = 0;
  for (const File& file : files)
    planned += 1 + 15 + 43 + 8 + (file.is_dll ? 16 : 0);
  t.Plan(planned);
  CoInitialize(nullptr);
  for (const File& file : files)
    CheckFile(t, file.path, file.syskind, file.label, file.is_dll);
  CoUninitialize();
  return t.Finish();
}
