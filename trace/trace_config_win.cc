// The places on Windows: the two policy keys, the environment, the user's
// settings. Each width reads the registry view that the system gives it (no
// KEY_WOW64_* flag): a 32-bit front-end on a 64-bit PC reads the shared
// Software\Policies, as a 64-bit one does.
#include "trace/trace_config.h"

#include <windows.h>

#include <string>

#include "win/registry_value.h"
#include "win/scoped_hkey.h"
#include "win/wide_text.h"

namespace wb::trace {

namespace {

const wchar_t* Wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}

Setting Text(const std::wstring& text) {
  Setting setting;
  setting.kind = Setting::kText;
  setting.text = win::Utf8(text);
  return setting;
}

Setting Unreadable() {
  Setting setting;
  setting.kind = Setting::kUnreadable;
  return setting;
}

Setting FromEnvironment(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0)
    return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return Text(value);
}

// The user's own value, read as it always was: a string (a REG_EXPAND_SZ
// comes expanded by the system, and nothing more is done to it); anything
// else is no setting.
Setting FromUserSettings(const char16_t* name) {
  DWORD bytes = 0;
  constexpr DWORD kFlags = RRF_RT_REG_SZ;
  const wchar_t* key = Wide(kSettingsKey);
  if (RegGetValueW(HKEY_CURRENT_USER, key, Wide(name), kFlags, nullptr, nullptr, &bytes) !=
          ERROR_SUCCESS ||
      bytes < sizeof(wchar_t)) {
    return {};
  }
  std::wstring value(bytes / sizeof(wchar_t), L'\0');
  if (RegGetValueW(HKEY_CURRENT_USER, key, Wide(name), kFlags, nullptr, value.data(), &bytes) !=
      ERROR_SUCCESS) {
    return {};
  }
  value.resize(bytes / sizeof(wchar_t));
  while (!value.empty() && value.back() == L'\0')
    value.pop_back();
  return Text(value);
}

// A policy's value: a string (expanded when it is a REG_EXPAND_SZ) or a
// DWORD. Anything else, or a value that cannot be read, is unreadable: it
// still decides, so that a broken policy never hands the choice back to the
// user.
Setting FromPolicy(HKEY key, const char16_t* name) {
  const win::RegistryValue value =
      win::ReadRegistryValue(key, Wide(name), (kMaxPolicyText + 1) * sizeof(wchar_t));
  if (value.status == ERROR_FILE_NOT_FOUND)
    return {};
  if (const std::optional<DWORD> number = value.Dword()) {
    Setting setting;
    setting.kind = Setting::kNumber;
    setting.number = *number;
    return setting;
  }
  std::optional<std::wstring> text = value.Text();
  if (!text || text->size() > kMaxPolicyText)
    return Unreadable();
  if (value.type != REG_EXPAND_SZ)
    return Text(*text);
  text = win::ExpandEnvironment(*text, kMaxPolicyText);
  if (!text)
    return Unreadable();
  Setting setting = Text(*text);
  setting.expanded = true;
  return setting;
}

PlaceSettings FromPolicies(HKEY root) {
  win::ScopedHKEY key;
  const LSTATUS status = RegOpenKeyExW(root, Wide(kPolicyKey), 0, KEY_QUERY_VALUE, key.Receive());
  if (status == ERROR_FILE_NOT_FOUND)
    return {};
  if (status != ERROR_SUCCESS)
    return {Unreadable(), Unreadable(), Unreadable()};
  return {FromPolicy(key.Get(), kTraceFileValue), FromPolicy(key.Get(), kTraceLimitValue),
          FromPolicy(key.Get(), kTraceAllowedValue)};
}

}  // namespace

TracePlaces ReadTracePlaces() {
  TracePlaces places;
  places[static_cast<size_t>(Place::kMachinePolicy)] = FromPolicies(HKEY_LOCAL_MACHINE);
  places[static_cast<size_t>(Place::kUserPolicy)] = FromPolicies(HKEY_CURRENT_USER);
  places[static_cast<size_t>(Place::kEnvironment)] = {
      FromEnvironment(L"WORKBENCH_TRACE"), FromEnvironment(L"WORKBENCH_TRACE_LIMIT"), {}};
  places[static_cast<size_t>(Place::kUserSettings)] = {
      FromUserSettings(kTraceFileValue), FromUserSettings(kTraceLimitValue), {}};
  return places;
}

}  // namespace wb::trace
