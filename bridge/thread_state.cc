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
// A teardown is under way on this thread (TeardownThreadState).
thread_local bool t_tearing_down = false;
// Rounds of a teardown: nested work during one may leave state behind.
constexpr int kTeardownRounds = 4;

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
  // A slot's destructor may release a component whose code runs the host's
  // (an out-of-process component pumps messages while it is released), and
  // the host may create, call and drop our objects right there. Such nested
  // work leaves the teardown under way to this frame, which alone may end the
  // state: every read of the store below is through `store`, which only this
  // frame deletes.
  if (t_store == nullptr || t_tearing_down)
    return;
  ThreadStore* const store = t_store;
  t_tearing_down = true;
  // State that nested work made goes too while nobody holds it, in rounds: a
  // host that makes more at each release is given up on after a few, and the
  // state is kept for the thread's next user rather than torn down forever.
  for (int round = 0; round < kTeardownRounds && !store->slots.empty(); ++round) {
    if (round > 0 && store->users.load() != 0)
      break;
    auto slots = std::move(store->slots);
    store->slots.clear();
    while (!slots.empty())
      slots.pop_back();
  }
  t_tearing_down = false;
  if (store->users.load() == 0 && store->slots.empty()) {
    delete store;
    t_store = nullptr;
  }
}

ThreadStateUser::ThreadStateUser() : store_(&Store()) {
  // The last user went on another thread: what it left behind is released
  // here, on its own thread, so that this user starts with fresh state.
  // The teardown may end the store, so it is looked up again after it.
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
