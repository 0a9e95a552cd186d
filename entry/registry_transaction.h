// `RegistryTransaction`: writes string values under one root and remembers
// how to take each write back: the keys it created and the values it
// replaced. Destroyed before `Commit()`, it puts back what was there: a
// registration that stops halfway removes only what it created itself, and
// leaves an earlier registration (another copy's, or an installer's) whole.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wb::entry {

class RegistryTransaction {
 public:
  // `root` must outlive the transaction; every path is relative to it, in
  // the registry view that `root` was opened in.
  explicit RegistryTransaction(HKEY root) noexcept : root_(root) {}
  ~RegistryTransaction() {
    if (!committed_)
      Rollback();
  }
  RegistryTransaction(const RegistryTransaction&) = delete;
  RegistryTransaction& operator=(const RegistryTransaction&) = delete;

  // Creates `key` (each missing key on its path) and writes the REG_SZ value
  // `name` (nullptr: the default value). Everything that may run out of
  // memory happens before the registry changes, so a write that throws
  // leaves nothing unrecorded.
  LSTATUS SetString(const std::wstring& key, const wchar_t* name, const std::wstring& value);

  void Commit() noexcept { committed_ = true; }

 private:
  struct OldValue {
    std::wstring key;
    std::wstring name;
    bool is_default = false;
    bool existed = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };

  LSTATUS CreateKeyPath(const std::wstring& key, HKEY* out);
  void Rollback() noexcept;

  HKEY root_;
  std::vector<std::wstring> created_keys_;  // in the order created
  std::vector<OldValue> replaced_;          // in the order written
  bool committed_ = false;
};

}  // namespace wb::entry
