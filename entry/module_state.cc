#include "entry/module_state.h"

#include <atomic>

#include "win/com_object.h"

namespace wb::entry {

namespace {

HMODULE g_module = nullptr;
// Locks are taken on several apartments' threads at once.
std::atomic<long> g_server_locks{0};

}  // namespace

void SetModuleHandle(HMODULE module) noexcept {
  g_module = module;
}

HMODULE ModuleHandle() noexcept {
  return g_module;
}

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(path.size());
    const DWORD length = GetModuleFileNameW(g_module, path.data(), size);
    if (length == 0)
      return std::wstring();
    // A full buffer means the path may have been cut: try again larger.
    if (length < size) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

bool ModuleInUse() noexcept {
  return win::LiveModuleObjects() != 0 || g_server_locks.load() != 0;
}

void LockServer() noexcept {
  ++g_server_locks;
}

bool UnlockServer() noexcept {
  long locks = g_server_locks.load();
  while (locks > 0) {
    if (g_server_locks.compare_exchange_weak(locks, locks - 1))
      return true;
  }
  return false;
}

}  // namespace wb::entry
