// Every registry value of Workbench.dll, under the classes root: what
// DllRegisterServer (and DllInstall for the current user) writes, and what the
// Windows Installer packages write. CMake reads this table, one row a line,
// to write the packages' RegistryValue rows (cmake/WorkbenchPackage.cmake),
// so that the DLL and the packages cannot drift apart.
//
// In keys and values, {CLSID}, {LIBID} and {IID} stand for the GUIDs of
// Workbench.idl, {VERSION} for the type library's "major.minor" and
// {PLATFORM} for "win32" or "win64"; [FILE] is the DLL's full path and
// [FOLDER] its folder, ending in a backslash as the installer writes folders.
#pragma once

namespace wb::entry {

enum class RowOwner {
  // Written by each width into its own registry view (and by each width's
  // component of a package). On 64-bit Windows the ProgID's key is one key
  // for both views; under Wine it is not, so each width writes it.
  kEachWidth,
  // Written once for both widths: the type library's version key, which the
  // two views share.
  kBothWidths,
};

struct RegistryRow {
  RowOwner owner;
  const wchar_t* key;
  const wchar_t* name;  // nullptr: the key's default value
  const wchar_t* value;
};

// The order is the order of writing: the class first, the shared keys last.
// clang-format off
inline constexpr RegistryRow kRegistryRows[] = {
  {RowOwner::kEachWidth, L"CLSID\\{CLSID}", nullptr, L"Workbench.CWorkbench"},
  {RowOwner::kEachWidth, L"CLSID\\{CLSID}\\InprocServer32", nullptr, L"[FILE]"},
  {RowOwner::kEachWidth, L"CLSID\\{CLSID}\\InprocServer32", L"ThreadingModel", L"Apartment"},
  {RowOwner::kEachWidth, L"CLSID\\{CLSID}\\ProgID", nullptr, L"Workbench.CWorkbench"},
  {RowOwner::kEachWidth, L"CLSID\\{CLSID}\\TypeLib", nullptr, L"{LIBID}"},
  {RowOwner::kEachWidth, L"CLSID\\{CLSID}\\Version", nullptr, L"{VERSION}"},
  {RowOwner::kEachWidth, L"Workbench.CWorkbench", nullptr, L"Workbench.CWorkbench"},
  {RowOwner::kEachWidth, L"Workbench.CWorkbench\\CLSID", nullptr, L"{CLSID}"},
  {RowOwner::kEachWidth, L"TypeLib\\{LIBID}\\{VERSION}\\0\\{PLATFORM}", nullptr, L"[FILE]"},
  // The dual interface, marshaled by the automation marshaler (PSOAInterface).
  {RowOwner::kEachWidth, L"Interface\\{IID}", nullptr, L"_CWorkbench"},
  {RowOwner::kEachWidth, L"Interface\\{IID}\\ProxyStubClsid", nullptr, L"{00020424-0000-0000-C000-000000000046}"},
  {RowOwner::kEachWidth, L"Interface\\{IID}\\ProxyStubClsid32", nullptr, L"{00020424-0000-0000-C000-000000000046}"},
  {RowOwner::kEachWidth, L"Interface\\{IID}\\TypeLib", nullptr, L"{LIBID}"},
  {RowOwner::kEachWidth, L"Interface\\{IID}\\TypeLib", L"Version", L"{VERSION}"},
  {RowOwner::kBothWidths, L"TypeLib\\{LIBID}\\{VERSION}", nullptr, L"Workbench"},
  {RowOwner::kBothWidths, L"TypeLib\\{LIBID}\\{VERSION}\\FLAGS", nullptr, L"0"},
  {RowOwner::kBothWidths, L"TypeLib\\{LIBID}\\{VERSION}\\HELPDIR", nullptr, L"[FOLDER]"},
};
// clang-format on

}  // namespace wb::entry
