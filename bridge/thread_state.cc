#include "bridge/thread_state.h"

#include <utility>
#include <vector>

namespace wb {

namespace {

struct ThreadStore {
  std::vector<std::pair<std::type_index, std::unique_ptr<internal::ThreadSlot>>> slots;
  int users = 0;
};

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
  if (t_store->users == 0 && t_store->slots.empty()) {
    delete t_store;
    t_store = nullptr;
  }
}

ThreadStateUser::ThreadStateUser() {
  ++Store().users;
}

ThreadStateUser::~ThreadStateUser() {
  if (--Store().users == 0)
    TeardownThreadState();
}

int ThreadStateUser::LiveOnThisThread() noexcept {
  return t_store ? t_store->users : 0;
}

}  // namespace wb
