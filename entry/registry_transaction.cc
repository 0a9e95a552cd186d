#include "entry/registry_transaction.h"

#include <utility>

#include "win/scoped_hkey.h"

namespace wb::entry {

LSTATUS RegistryTransaction::CreateKeyPath(const std::wstring& key, HKEY* out) {
  win::ScopedHKEY parent;
  HKEY current = root_;
  size_t start = 0;
  while (true) {
    const size_t slash = key.find(L'\\', start);
    const size_t end = slash == std::wstring::npos ? key.size() : slash;
    // Recorded first and dropped again when the key was there already.
    created_keys_.push_back(key.substr(0, end));
    const std::wstring part = key.substr(start, end - start);
    win::ScopedHKEY child;
    DWORD disposition = 0;
    const LSTATUS status =
        RegCreateKeyExW(current, part.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE, nullptr, child.Receive(), &disposition);
    if (status != ERROR_SUCCESS || disposition != REG_CREATED_NEW_KEY)
      created_keys_.pop_back();
    if (status != ERROR_SUCCESS)
      return status;
    parent = std::move(child);
    current = parent.Get();
    if (slash == std::wstring::npos)
      break;
    start = slash + 1;
  }
  *out = parent.Release();
  return ERROR_SUCCESS;
}

LSTATUS RegistryTransaction::SetString(const std::wstring& key,
                                       const wchar_t* name,
                                       const std::wstring& value) {
  OldValue old;
  old.key = key;
  old.is_default = name == nullptr;
  if (name != nullptr)
    old.name = name;
  win::ScopedHKEY existing;
  if (RegOpenKeyExW(root_, key.c_str(), 0, KEY_READ, existing.Receive()) == ERROR_SUCCESS) {
    DWORD size = 0;
    if (RegQueryValueExW(existing.Get(), name, nullptr, &old.type, nullptr, &size) ==
        ERROR_SUCCESS) {
      old.data.resize(size);
      old.existed = RegQueryValueExW(existing.Get(), name, nullptr, &old.type,
                                     old.data.data(), &size) == ERROR_SUCCESS;
      old.data.resize(size);
    }
  }
  replaced_.push_back(std::move(old));

  win::ScopedHKEY target;
  LSTATUS status = CreateKeyPath(key, target.Receive());
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(target.Get(), name, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  return status;
}

void RegistryTransaction::Rollback() noexcept {
  for (auto it = replaced_.rbegin(); it != replaced_.rend(); ++it) {
    win::ScopedHKEY key;
    if (RegOpenKeyExW(root_, it->key.c_str(), 0, KEY_WRITE, key.Receive()) != ERROR_SUCCESS)
      continue;
    const wchar_t* name = it->is_default ? nullptr : it->name.c_str();
    if (it->existed) {
      RegSetValueExW(key.Get(), name, 0, it->type, it->data.data(),
                     static_cast<DWORD>(it->data.size()));
    } else {
      RegDeleteValueW(key.Get(), name);
    }
  }
  // Newest first, so that each key is empty of ours by its turn; a key that
  // holds a subkey that someone else wrote meanwhile stays, with it.
  for (auto it = created_keys_.rbegin(); it != created_keys_.rend(); ++it)
    RegDeleteKeyW(root_, it->c_str());
}

}  // namespace wb::entry
