// Per-thread module state and its lifetime.
//
// Every module-level variable exists once per calling thread. Its lifetime is
// tied to the objects of this component that live on the thread (entry class
// instances, console windows): when the last one goes, the thread's state is
// torn down and the components it caches are released while COM is still up.
// State that is never torn down (a host that leaks its objects) is leaked with
// its references rather than released from a thread-exit destructor after
// the host's CoUninitialize.
#pragma once

#include <memory>
#include <typeindex>

namespace wb {

namespace internal {
struct ThreadSlot {
  virtual ~ThreadSlot() = default;
};
ThreadSlot* FindThreadSlot(std::type_index key);
ThreadSlot* AddThreadSlot(std::type_index key, std::unique_ptr<ThreadSlot> slot);
template <class T>
struct TypedSlot : ThreadSlot {
  T value{};
};
}  // namespace internal

// The calling thread's copy of a module's state `T`, value-initialised on
// first use in the thread (or after a teardown).
template <class T>
T& PerThread() {
  const std::type_index key(typeid(T));
  auto* slot = static_cast<internal::TypedSlot<T>*>(internal::FindThreadSlot(key));
  if (slot == nullptr) {
    slot = static_cast<internal::TypedSlot<T>*>(
        internal::AddThreadSlot(key, std::make_unique<internal::TypedSlot<T>>()));
  }
  return slot->value;
}

// Destroys the calling thread's module state, newest first. Code that runs
// meanwhile (a component's release that runs the host's) may use the state
// again, and may end its own objects: the teardown under way then ends what
// they made too, unless one of them is still held.
void TeardownThreadState() noexcept;

namespace internal {
struct ThreadStore;
}  // namespace internal

// Held by each object whose life keeps the thread's module state alive, and
// by each host call while it runs. It counts on the thread that made it.
// Let go on another thread (a host that breaks the apartment rule), it only
// lowers its own thread's count: that thread's state is not touched from
// here, and is torn down on its own thread when the next user comes there.
class ThreadStateUser {
 public:
  ThreadStateUser();
  ~ThreadStateUser();
  ThreadStateUser(const ThreadStateUser&) = delete;
  ThreadStateUser& operator=(const ThreadStateUser&) = delete;

  // Objects alive on the calling thread.
  static int LiveOnThisThread() noexcept;

 private:
  internal::ThreadStore* store_;
};

}  // namespace wb
