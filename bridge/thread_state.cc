#include "bridge/thread_state.h"

#include <atomic>
#include <utility>
#include <vector>

namespace wb {

namespace internal {

struct ThreadStore {
  std::vector<std::pair<std::type_index, std::unique_ptr<ThreadSlot>>> slots;
  // Lowered from other threads too (see ThreadStateUser).
  std::atomic<int> users{0};
  // A user was let go on another thread since the state was last torn down.
  std::atomic<bool> released_elsewhere{false};
};

}  // namespace internal

namespace {

using internal::ThreadStore;

// A plain pointer: nothing runs at thread exit (see the header).
thread_local ThreadStore* t_store = nullptr;

ThreadStore& Store() {
  if (t_store == nullptr)
    t_store = new ThreadStore;
  return *t_store;
}

}  // namespace

namespace internal {

ThreadSlot* FindThreadSlot(std::type_index key) {
  if (t_store == nullptr)
    return nullptr;
  for (auto& [k, slot] : t_store->slots) {
    if (k == key)
      return slot.get();
  }
  return nullptr;
}

ThreadSlot* AddThreadSlot(std::type_index key, std::unique_ptr<ThreadSlot> slot) {
  auto& slots = Store().slots;
  slots.emplace_back(key, std::move(slot));
  return slots.back().second.get();
}

}  // namespace internal

void TeardownThreadState() noexcept {
  if (t_store == nullptr)
    return;
  // A slot's destructor may release a component whose code reaches module
  // state again; detach the list first so that such a call sees fresh state.
  auto slots = std::move(t_store->slots);
  t_store->slots.clear();
  while (!slots.empty())
    slots.pop_back();
  if (t_store->users.load() == 0 && t_store->slots.empty()) {
    delete t_store;
    t_store = nullptr;
  }
}

ThreadStateUser::ThreadStateUser() : store_(&Store()) {
  // The last user went on another thread: what it left behind is released
  // here, on its own thread, so that this user starts with fresh state.
  if (store_->users.load() == 0 && store_->released_elsewhere.exchange(false))
    TeardownThreadState();
  store_ = &Store();
  store_->users.fetch_add(1);
}

ThreadStateUser::~ThreadStateUser() {
  if (store_ != t_store) {
    // Another thread's state: its components belong to that thread.
    store_->released_elsewhere.store(true);
    store_->users.fetch_sub(1);
    return;
  }
  if (store_->users.fetch_sub(1) == 1)
    TeardownThreadState();
}

int ThreadStateUser::LiveOnThisThread() noexcept {
  return t_store ? t_store->users.load() : 0;
}

}  // namespace wb
